#pragma once
// A desktop of the test process's own, for what Qt's offscreen platform cannot show (window
// frames, iconic windows, tray icons): an X server (Xvfb, 1600 x 900) on a free display with a
// window manager (openbox), and a system tray (trayer) started on demand. A test process run with
// QT_QPA_PLATFORM=xcb starts one before its QApplication (tests/support/TestMain.cpp); every
// process the session starts is ended by its id when the session ends.
#include <QRect>
#include <QString>
#include <QStringList>
#include <optional>
#include <sys/types.h>

struct xcb_connection_t;

class DesktopSession {
public:
    // Starts the X server and the window manager, and points DISPLAY at the server.
    DesktopSession();
    ~DesktopSession();
    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;

    // Empty when the X server runs, else why it does not (a test then skips).
    const QString& ServerFailure() const { return m_serverFailure; }
    // Empty when the window manager manages the screen, else why it does not (a test then fails).
    const QString& WindowManagerFailure() const { return m_windowManagerFailure; }

    // Starts a system tray at the top right of the screen; empty when started, else why not.
    // QSystemTrayIcon::isSystemTrayAvailable() turns true once it holds the tray selection.
    QString StartTray();
    // Ends the tray, as a panel that quits or crashes.
    void EndTray();
    // Ends the window manager: the windows stay on the screen, unframed and unmanaged.
    void EndWindowManager();
    // Where the tray shows its icons: a strip at the top right of the screen.
    QRect TrayArea() const;

    // The window's WM_STATE as the window manager set it (1 normal, 3 iconic), if it has one.
    std::optional<unsigned> WmState(unsigned long window) const;
    // Whether the window and all its ancestors are mapped.
    bool IsViewable(unsigned long window) const;
    // The rectangle of the window manager's frame around a top-level window (the ancestor that
    // is a child of the root window), in screen coordinates.
    QRect FrameRect(unsigned long window) const;
    // The rectangle of the window itself, in screen coordinates.
    QRect WindowRect(unsigned long window) const;

    // Asks the window manager to maximise the window or to restore it from maximised, as the title
    // bar's maximise button or a taskbar does (a _NET_WM_STATE message to the root window).
    void RequestMaximized(unsigned long window, bool maximized) const;
    // Whether the window manager shows the window maximised (its _NET_WM_STATE says so both ways).
    bool IsMaximized(unsigned long window) const;

    // Runs one of the desktop's tools (xdotool) to its end; false when it fails.
    static bool RunTool(const QString& program, const QStringList& arguments);

private:
    bool WaitForWindowManager(int timeoutMs);

    pid_t m_server = -1;
    pid_t m_windowManager = -1;
    pid_t m_tray = -1;
    xcb_connection_t* m_connection = nullptr;
    QString m_serverFailure;
    QString m_windowManagerFailure;
};

// The desktop of this test process: null when it runs on the offscreen platform, or when its X
// server could not start (DesktopUnavailableReason says which).
DesktopSession* TestDesktop();
QString DesktopUnavailableReason();
void SetTestDesktop(DesktopSession* desktop);
