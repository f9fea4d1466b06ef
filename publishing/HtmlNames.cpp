#include "publishing/HtmlNames.h"

#include <QDir>

namespace {

// Where the file name of a path begins (after the last folder separator).
qsizetype FileNameStart(const QString& path) {
    return QDir::fromNativeSeparators(path).lastIndexOf(QLatin1Char('/')) + 1;
}

// The index of the last "." of the file name, -1 when it holds none.
qsizetype ExtensionDot(const QString& path) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot >= FileNameStart(path) ? dot : -1;
}

QString ImageName(const QString& htmlPath, const QString& imageType, const char* suffix) {
    if (imageType.isEmpty())
        return {};
    return HtmlBaseName(htmlPath) + QLatin1String(suffix) + imageType;
}

constexpr qsizetype kMaxNamePart = 255;

} // namespace

QString HtmlBaseName(const QString& htmlPath) {
    const qsizetype dot = ExtensionDot(htmlPath);
    return dot < 0 ? htmlPath : htmlPath.left(dot);
}

QString GraphImageName(const QString& htmlPath, const QString& imageType) {
    return ImageName(htmlPath, imageType, "1.");
}

QString MapImageName(const QString& htmlPath, const QString& imageType) {
    return ImageName(htmlPath, imageType, "2.");
}

QString CssFileName(const QString& htmlPath) {
    return HtmlBaseName(htmlPath) + QLatin1String(".css");
}

QString TxtFileName(const QString& htmlPath) {
    return HtmlBaseName(htmlPath) + QLatin1String(".txt");
}

QString IncFileName(const QString& htmlPath) {
    return HtmlBaseName(htmlPath) + QLatin1String(".inc");
}

QString FileNamePart(const QString& path) {
    const QString name = path.mid(FileNameStart(path));
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return name.left(kMaxNamePart);
    return name.left(dot).left(kMaxNamePart) + name.mid(dot).left(kMaxNamePart);
}

QString ImageSourceName(const QString& imagePath, const QString& imageType) {
    const QString name = imagePath.mid(FileNameStart(imagePath));
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return (dot < 0 ? name : name.left(dot)) + QLatin1Char('.') + imageType;
}
