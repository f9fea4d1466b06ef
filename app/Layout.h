#pragma once
// Where the three child windows of the display area go in each view mode, and the sizes of the
// two display fonts, for a client area of W by H pixels.
#include <QFont>
#include <QRect>
#include <optional>

struct DisplayLayout {
    // A child without a rectangle is hidden; nullopt everywhere means "leave the children as they are".
    std::optional<QRect> graph;
    std::optional<QRect> map;
    std::optional<QRect> text;
    bool childrenUnchanged = false;
};

struct DisplayFontSizes {
    int statusHeight;
    int statusWidth;
    int timeHeight;
    int timeWidth;
};

DisplayLayout LayoutForMode(int viewMode, int width, int height);
DisplayFontSizes FontSizesFor(int viewMode, int width, int height);

// A display font of a face with a cell height and an average character width in pixels (0: the
// face's own); fixed pitch or proportional.
QFont DisplayFont(const QString& face, int height, int width, bool fixedPitch);

// The font, narrowed as much as needed for the text to fit in `width` pixels.
QFont FontFittingWidth(QFont font, const QString& text, int width);
