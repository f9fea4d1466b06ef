#pragma once
// Image files of the graph and the sky map. The encoder is chosen by the file name's extension,
// whatever its case: GIF through giflib with an 8-bit palette made from the picture, every other
// format Qt can write (BMP, PNG, JPEG, ...) through Qt's writers. The file is written through a
// temporary file renamed into place, so a reader never sees half an image; on any failure
// nothing is written.
#include <QImage>
#include <QString>

struct ImageWriteResult {
    bool ok = false;
    QString error; // why the file was not written; empty on success
};

// Replace: the old file stays unless the new one replaced it whole. Publish (the page's pictures,
// which a web server hands out): where the folder refuses the temporary file for lack of rights,
// the file is truncated and written in place, where a write that fails part-way leaves it short.
enum class ImageWrite { Replace, Publish };

ImageWriteResult WriteExportedImage(const QImage& image, const QString& path,
                                    ImageWrite how = ImageWrite::Replace);

// The picture of an export: 24 bits per pixel, white where nothing is drawn.
QImage NewExportImage(int width, int height);
