#pragma once
// Image files of the graph and the sky map. The encoder is chosen by the file name's extension,
// whatever its case: GIF through giflib with an 8-bit palette made from the picture, every other
// format Qt can write (BMP, PNG, JPEG, ...) through Qt's writers. The file is written through a
// temporary file renamed into place, so a reader never sees half an image; on any failure
// nothing is written. A folder that refuses new files for lack of rights has it truncated and
// written in place, where a write that fails part-way leaves the file short.
#include <QImage>
#include <QString>

struct ImageWriteResult {
    bool ok = false;
    QString error; // why the file was not written; empty on success
};

ImageWriteResult WriteExportedImage(const QImage& image, const QString& path);

// The picture of an export: 24 bits per pixel, white where nothing is drawn.
QImage NewExportImage(int width, int height);
