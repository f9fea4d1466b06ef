#include "settings/WindowPlacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace {

// Reads one number as scanf's %d or %u would: white space skipped, an optional sign, digits.
// Values outside the field's range count as unreadable.
class NumberScanner {
public:
    explicit NumberScanner(const QString& text) : m_bytes(text.toLatin1()) {}

    std::optional<std::int64_t> Next(bool isUnsigned) {
        while (m_pos < m_bytes.size() && std::isspace(static_cast<unsigned char>(m_bytes[m_pos])))
            ++m_pos;
        bool negative = false;
        if (m_pos < m_bytes.size() && (m_bytes[m_pos] == '+' || m_bytes[m_pos] == '-'))
            negative = m_bytes[m_pos++] == '-';
        std::int64_t value = 0;
        const char* begin = m_bytes.constData() + m_pos;
        const auto [end, error] = std::from_chars(begin, m_bytes.constData() + m_bytes.size(), value);
        if (error != std::errc() || value < 0)
            return std::nullopt;
        m_pos += end - begin;
        if (negative)
            value = -value;
        const std::int64_t low = isUnsigned ? -std::int64_t{std::numeric_limits<std::uint32_t>::max()}
                                            : std::numeric_limits<std::int32_t>::min();
        const std::int64_t high = isUnsigned ? std::int64_t{std::numeric_limits<std::uint32_t>::max()}
                                             : std::numeric_limits<std::int32_t>::max();
        if (value < low || value > high)
            return std::nullopt;
        return value;
    }

    bool Take(char expected) {
        if (m_pos >= m_bytes.size() || m_bytes[m_pos] != expected)
            return false;
        ++m_pos;
        return true;
    }

private:
    QByteArray m_bytes;
    qsizetype m_pos = 0;
};

constexpr int kMinimumVisible = 32; // pixels of the window that must lie on some screen

QList<QRect> AvailableScreenAreas() {
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens.append(screen->availableGeometry());
    return screens;
}

QRect PrimaryScreenArea() {
    const QScreen* primary = QGuiApplication::primaryScreen();
    return primary ? primary->availableGeometry() : QRect();
}

// The window manager's frame around a top-level window; none until the window has been framed.
QMargins FrameMargins(const QWidget& window) {
    const QWindow* handle = window.windowHandle();
    return handle ? handle->frameMargins() : QMargins();
}

const QString kFrameFitterName = QStringLiteral("FrameFitter");

// How long a shown window waits to be framed before it takes its stored state unframed: without a
// window manager (or on a platform without frames) no frame ever comes.
constexpr int kFrameWaitMs = 2000;

// Fits a window by its frame once the window manager has framed it (when it is shown, maybe well
// after its placement was applied), then gives it the state it is to take then, and removes itself.
class FrameFitter final : public QObject {
public:
    FrameFitter(QWidget& window, Qt::WindowStates stateOnceFitted)
        : QObject(&window), m_window(window), m_stateOnceFitted(stateOnceFitted) {
        setObjectName(kFrameFitterName);
        window.installEventFilter(this);
        WatchPlatformWindow();
        if (stateOnceFitted != Qt::WindowNoState)
            QTimer::singleShot(kFrameWaitMs, this, [this] {
                if (!m_fitted)
                    Finish();
            });
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::Show:
            WatchPlatformWindow();
            FitWhenFramed();
            break;
        case QEvent::Expose:
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::WindowStateChange:
            FitWhenFramed();
            break;
        default:
            break;
        }
        return false;
    }

private:
    // The frame is known first on the platform window: its exposure follows the framing.
    void WatchPlatformWindow() {
        QWindow* handle = m_window.windowHandle();
        if (handle && handle != m_watched) {
            handle->installEventFilter(this);
            m_watched = handle;
        }
    }

    void FitWhenFramed() {
        // A maximised or minimised window has no frame of its normal state to fit.
        if (m_fitted || !m_window.isVisible() || m_window.windowState() != Qt::WindowNoState)
            return;
        const QMargins frame = FrameMargins(m_window);
        if (frame.isNull())
            return;
        m_fitted = true;
        const QRect fitted =
            PlaceFrameOnScreens(m_window.geometry(), frame, AvailableScreenAreas(), PrimaryScreenArea());
        if (fitted != m_window.geometry())
            m_window.setGeometry(fitted);
        Finish();
    }

    void Finish() {
        m_fitted = true;
        if (m_stateOnceFitted != Qt::WindowNoState)
            m_window.setWindowState(m_stateOnceFitted);
        deleteLater();
    }

    QWidget& m_window;
    const Qt::WindowStates m_stateOnceFitted;
    QPointer<QWindow> m_watched;
    bool m_fitted = false;
};

} // namespace

QString FormatWindowPlacement(const WindowPlacement& p) {
    return QStringLiteral("%1,%2,%3,%4,%5,%6,%7,%8,%9,%10")
        .arg(p.flags)
        .arg(p.showCmd)
        .arg(p.minX)
        .arg(p.minY)
        .arg(p.maxX)
        .arg(p.maxY)
        .arg(p.left)
        .arg(p.top)
        .arg(p.right)
        .arg(p.bottom);
}

std::optional<WindowPlacement> ParseWindowPlacement(const QString& text) {
    NumberScanner scanner(text);
    std::int64_t fields[10];
    for (int i = 0; i < 10; ++i) {
        if (i > 0 && !scanner.Take(','))
            return std::nullopt;
        const auto value = scanner.Next(i < 2);
        if (!value)
            return std::nullopt;
        fields[i] = *value;
    }
    WindowPlacement p;
    p.flags = static_cast<unsigned>(static_cast<std::uint32_t>(fields[0]));
    p.showCmd = static_cast<unsigned>(static_cast<std::uint32_t>(fields[1]));
    int* const signedFields[] = {&p.minX, &p.minY, &p.maxX, &p.maxY, &p.left, &p.top, &p.right, &p.bottom};
    for (int i = 0; i < 8; ++i)
        *signedFields[i] = static_cast<int>(fields[i + 2]);
    return p;
}

QRect PlaceOnScreens(const QRect& normal, const QList<QRect>& screens, const QRect& primary) {
    // The screen the window lands on: the one that shows most of it, when that is enough to grab.
    const QRect* landing = nullptr;
    qint64 largest = 0;
    for (const QRect& screen : screens) {
        const QRect visible = screen.intersected(normal);
        const qint64 area = qint64{visible.width()} * visible.height();
        if (visible.width() >= kMinimumVisible && visible.height() >= kMinimumVisible && area > largest) {
            largest = area;
            landing = &screen;
        }
    }
    if (!landing) {
        if (primary.isEmpty())
            return normal;
        QRect moved(
            QPoint(0, 0),
            normal.size().boundedTo(primary.size()).expandedTo(QSize(kMinimumVisible, kMinimumVisible)));
        moved.moveCenter(primary.center());
        return moved;
    }
    if (normal.width() <= landing->width() && normal.height() <= landing->height())
        return normal;
    // Larger than its screen (stored on a bigger monitor): shrunk to the screen and moved inside
    // it, so that its title bar and buttons can be reached.
    QRect fitted(normal.topLeft(), normal.size().boundedTo(landing->size()));
    fitted.moveLeft(std::clamp(fitted.left(), landing->left(), landing->right() + 1 - fitted.width()));
    fitted.moveTop(std::clamp(fitted.top(), landing->top(), landing->bottom() + 1 - fitted.height()));
    return fitted;
}

QRect PlaceFrameOnScreens(const QRect& client, const QMargins& frame, const QList<QRect>& screens,
                          const QRect& primary) {
    return PlaceOnScreens(client.marginsAdded(frame), screens, primary).marginsRemoved(frame);
}

WindowPlacement ReadWindowPlacement(const QWidget& window) {
    WindowPlacement p;
    const Qt::WindowStates state = window.windowState();
    if (state & Qt::WindowMinimized) {
        p.showCmd = 2;
        if (state & Qt::WindowMaximized)
            p.flags = kRestoreToMaximized;
    } else if (state & Qt::WindowMaximized) {
        p.showCmd = 3;
    }
    QRect normal = window.normalGeometry();
    if (!normal.isValid())
        normal = window.geometry();
    p.left = normal.left();
    p.top = normal.top();
    p.right = normal.left() + normal.width();
    p.bottom = normal.top() + normal.height();
    return p;
}

void ApplyWindowPlacement(QWidget& window, const WindowPlacement& p) {
    // The show commands: 2, 6 and 7 minimise, 3 maximises; anything else (a stored 0 would hide
    // the window for good) shows it normally.
    Qt::WindowStates state = Qt::WindowNoState;
    if (p.showCmd == 2 || p.showCmd == 6 || p.showCmd == 7) {
        state = Qt::WindowMinimized;
        if (p.flags & kRestoreToMaximized)
            state |= Qt::WindowMaximized;
    } else if (p.showCmd == 3) {
        state = Qt::WindowMaximized;
    }
    // Coordinates beyond any screen are no placement (and would overflow the arithmetic below).
    const auto usable = [](int coordinate) { return std::abs(qint64{coordinate}) <= QWIDGETSIZE_MAX; };
    const bool inRange = usable(p.left) && usable(p.top) && usable(p.right) && usable(p.bottom);
    const QRect normal = inRange ? p.NormalRect() : QRect();
    if (normal.width() > 0 && normal.height() > 0) {
        window.setWindowState(window.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
        const QMargins frame = FrameMargins(window);
        window.setGeometry(PlaceFrameOnScreens(normal, frame, AvailableScreenAreas(), PrimaryScreenArea()));
        delete window.findChild<QObject*>(kFrameFitterName, Qt::FindDirectChildrenOnly);
        if (frame.isNull()) {
            // The window manager restores a maximised or minimised window to the rectangle it had
            // before: a window already shown takes its state only once that is fitted by its
            // frame. (One not shown yet is fitted once it is shown normally.)
            const bool stateOnceFitted = window.isVisible();
            new FrameFitter(window, stateOnceFitted ? state : Qt::WindowNoState); // owned by the window
            if (stateOnceFitted)
                return;
        }
    }
    window.setWindowState(state);
}
