#pragma once
// An 8-bit copy of a picture, for image formats limited to 256 colours, with a palette made from
// the picture's own colours: all of them exactly when there are no more than 256; otherwise the
// most frequent exactly (the background, the traces, the frame and the text) and the colours left
// over approximated by a median cut. Every pixel takes its nearest palette entry; nothing is
// dithered, so flat areas stay flat.
#include <QImage>

// A Format_Indexed8 image of the picture's size with at most 256 entries in its colour table.
QImage ToOwnPalette(const QImage& picture);
