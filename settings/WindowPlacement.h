#pragma once
// The main window's placement as stored in Initial/WindowPos: ten comma-separated numbers,
// "flags,show,minX,minY,maxX,maxY,left,top,right,bottom" (the rectangle's right and bottom are
// exclusive), the show command being 1 normal, 2 minimised or 3 maximised.
#include <QList>
#include <QMargins>
#include <QRect>
#include <QString>
#include <optional>

class QWidget;

struct WindowPlacement {
    unsigned flags = 0;   // kRestoreToMaximized when a minimised window was maximised before
    unsigned showCmd = 1; // 1 normal, 2 minimised, 3 maximised
    int minX = -1;
    int minY = -1;
    int maxX = -1;
    int maxY = -1;
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    QRect NormalRect() const { return QRect(left, top, right - left, bottom - top); }
    bool operator==(const WindowPlacement&) const = default;
};

constexpr unsigned kRestoreToMaximized = 2;

QString FormatWindowPlacement(const WindowPlacement& placement);

// The placement of a stored string, or nothing when fewer than ten numbers can be read from its
// start. Text after the tenth number is ignored.
std::optional<WindowPlacement> ParseWindowPlacement(const QString& text);

// A normal rectangle that overlaps none of the screens (a monitor was removed) moves onto the
// primary screen, shrunk to fit it; one that is visible stays where it is, unless it is larger
// than the screen showing most of it: then it shrinks to that screen and moves inside it.
QRect PlaceOnScreens(const QRect& normal, const QList<QRect>& screens, const QRect& primary);

// The client rectangle whose frame (the rectangle grown by the window manager's frame margins)
// PlaceOnScreens keeps or moves onto the screens: a window fitted to a screen by its frame has its
// title bar and buttons on that screen.
QRect PlaceFrameOnScreens(const QRect& client, const QMargins& frame, const QList<QRect>& screens,
                          const QRect& primary);

// The placement of a top-level window, and the reverse. Applying never hides the window and
// never leaves it off every screen; a rectangle with coordinates beyond any screen is ignored. The
// window is fitted by its frame. A shown window that the window manager has not framed yet is
// fitted once it has, and only then maximised or minimised, so that restoring it brings back the
// fitted rectangle; a window not shown yet is fitted once it is shown normally.
WindowPlacement ReadWindowPlacement(const QWidget& window);
void ApplyWindowPlacement(QWidget& window, const WindowPlacement& placement);
