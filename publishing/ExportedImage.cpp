#include "publishing/ExportedImage.h"
#include "publishing/ImagePalette.h"

#include "platform/FileWriting.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>
#include <gif_lib.h>
#include <memory>

namespace {

int AppendToBuffer(GifFileType* gif, const GifByteType* bytes, int length) {
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(bytes), length);
    return length;
}

QString GifError(int code) {
    const char* text = GifErrorString(code);
    return QStringLiteral("GIF encoder: %1").arg(text ? QString::fromLatin1(text) : QString::number(code));
}

// The picture as a GIF: an 8-bit palette made from the picture's own colours, padded to the 256
// entries a GIF colour table may hold.
bool EncodeGif(const QImage& image, QByteArray& out, QString& error) {
    const QImage indexed = ToOwnPalette(image);
    if (indexed.isNull() || indexed.colorCount() == 0) {
        error = QStringLiteral("cannot reduce the picture to 256 colours");
        return false;
    }
    const QList<QRgb> table = indexed.colorTable();
    constexpr int kPaletteEntries = 256;
    std::unique_ptr<ColorMapObject, void (*)(ColorMapObject*)> palette(
        GifMakeMapObject(kPaletteEntries, nullptr), GifFreeMapObject);
    if (!palette) {
        error = QStringLiteral("out of memory");
        return false;
    }
    for (int i = 0; i < kPaletteEntries; ++i) {
        const QRgb colour = i < table.size() ? table[i] : qRgb(0, 0, 0);
        palette->Colors[i] =
            GifColorType{static_cast<GifByteType>(qRed(colour)), static_cast<GifByteType>(qGreen(colour)),
                         static_cast<GifByteType>(qBlue(colour))};
    }
    int code = 0;
    GifFileType* gif = EGifOpen(&out, AppendToBuffer, &code);
    if (!gif) {
        error = GifError(code);
        return false;
    }
    const int width = indexed.width();
    const int height = indexed.height();
    bool written = EGifPutScreenDesc(gif, width, height, 8, 0, palette.get()) == GIF_OK &&
                   EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_OK;
    for (int y = 0; written && y < height; ++y) {
        // giflib takes a non-const line; it only reads it.
        auto* line = const_cast<GifPixelType*>(indexed.constScanLine(y));
        written = EGifPutLine(gif, line, width) == GIF_OK;
    }
    const int writeError = gif->Error;
    if (EGifCloseFile(gif, &code) != GIF_OK && written) {
        written = false;
    } else if (!written) {
        code = writeError;
    }
    if (!written)
        error = GifError(code);
    return written;
}

bool EncodeWithQt(const QImage& image, const QByteArray& format, QByteArray& out, QString& error) {
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (!writer.write(image.convertToFormat(QImage::Format_RGB32))) {
        error = writer.errorString();
        return false;
    }
    return true;
}

} // namespace

QImage NewExportImage(int width, int height) {
    QImage image(std::max(1, width), std::max(1, height), QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

ImageWriteResult WriteExportedImage(const QImage& image, const QString& path, ImageWrite how) {
    ImageWriteResult result;
    if (image.isNull()) {
        result.error = QStringLiteral("no picture to write to %1").arg(path);
        return result;
    }
    // The extension picks the encoder; the path itself keeps its case.
    const QByteArray format = QFileInfo(path).suffix().toLower().toLatin1();
    QByteArray encoded;
    QString error;
    bool ok = false;
    if (format == "gif") {
        ok = EncodeGif(image, encoded, error);
    } else if (!format.isEmpty() && QImageWriter::supportedImageFormats().contains(format)) {
        ok = EncodeWithQt(image, format, encoded, error);
    } else {
        error = QStringLiteral("no image encoder for the extension of %1").arg(path);
    }
    if (!ok) {
        result.error = error.isEmpty() ? QStringLiteral("cannot encode %1").arg(path) : error;
        return result;
    }
    QString reason;
    const bool written = how == ImageWrite::Publish ? platform::PublishWholeFile(path, encoded, &reason)
                                                    : platform::SaveWholeFile(path, encoded, &reason);
    if (!written) {
        result.error = QStringLiteral("cannot write %1: %2").arg(path, reason);
        return result;
    }
    result.ok = true;
    return result;
}
