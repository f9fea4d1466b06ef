#pragma once
// Names of the status page's companion files, all derived from the page's path. Nothing here
// touches the disk, and no name is ever lower-cased: on Linux a lower-cased path names another file.
#include <QString>

// The page's path up to, not including, the last "." of its file name; the whole path when the
// file name holds no "." (a dot in a folder's name does not count).
QString HtmlBaseName(const QString& htmlPath);

// base + "1." + type (the graph picture); empty when the type is empty.
QString GraphImageName(const QString& htmlPath, const QString& imageType);
// base + "2." + type (the sky-map picture); empty when the type is empty.
QString MapImageName(const QString& htmlPath, const QString& imageType);
QString CssFileName(const QString& htmlPath); // base + ".css"
QString TxtFileName(const QString& htmlPath); // base + ".txt"
QString IncFileName(const QString& htmlPath); // base + ".inc"

// The file name of a path without its folder; its name and its extension are each cut to 255
// characters.
QString FileNamePart(const QString& path);

// How the page refers to an image beside it: the image's file name up to its last ".", then ".",
// then the type. An empty image name gives ".".
QString ImageSourceName(const QString& imagePath, const QString& imageType);
