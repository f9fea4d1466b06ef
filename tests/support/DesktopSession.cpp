#include "support/DesktopSession.h"

#include "support/WaitBounds.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>

namespace {

DesktopSession* g_desktop = nullptr;

constexpr int kEndTimeoutMs = 5000;
constexpr int kTrayWidth = 120;
constexpr int kTrayHeight = 24;

template <typename Reply> using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

template <typename Reply> ReplyPtr<Reply> Owned(Reply* reply) {
    return ReplyPtr<Reply>(reply, &std::free);
}

// Waits until fd is readable or the deadline passes; false on time-out.
bool WaitReadable(int fd, const QDeadlineTimer& deadline) {
    pollfd ready{fd, POLLIN, 0};
    for (;;) {
        const int result = poll(&ready, 1, static_cast<int>(deadline.remainingTime()));
        if (result >= 0)
            return result > 0;
        if (errno != EINTR)
            return false;
    }
}

// Starts a program with its output discarded, keeping only inheritedFd of this process's
// descriptors open in it; the program is killed should this process die first. -1 when it cannot
// be started.
pid_t Spawn(const QString& program, const QStringList& arguments, int inheritedFd = -1) {
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        return -1;
    std::vector<QByteArray> bytes{path.toLocal8Bit()};
    for (const QString& argument : arguments)
        bytes.push_back(argument.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& argument : bytes)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    // The child: only async-signal-safe calls until exec.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent)
        _exit(127);
    const int null = open("/dev/null", O_RDWR);
    dup2(null, STDIN_FILENO);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    if (inheritedFd >= 0)
        fcntl(inheritedFd, F_SETFD, 0);
    execv(argv[0], argv.data());
    _exit(127);
}

// Ends a started program by its id: asked to terminate, killed when it does not in time.
void End(pid_t& pid) {
    if (pid <= 0)
        return;
    const int exited = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    kill(pid, SIGTERM);
    if (exited < 0 || !WaitReadable(exited, QDeadlineTimer(kEndTimeoutMs)))
        kill(pid, SIGKILL);
    if (exited >= 0)
        close(exited);
    waitpid(pid, nullptr, 0);
    pid = -1;
}

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
    const auto reply = Owned(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

} // namespace

DesktopSession* TestDesktop() {
    return g_desktop && g_desktop->ServerFailure().isEmpty() ? g_desktop : nullptr;
}

QString DesktopUnavailableReason() {
    return g_desktop ? g_desktop->ServerFailure()
                     : QStringLiteral("needs a desktop of its own: run with QT_QPA_PLATFORM=xcb");
}

void SetTestDesktop(DesktopSession* desktop) {
    g_desktop = desktop;
}

DesktopSession::DesktopSession() {
    // Xvfb picks a free display and writes its number to the descriptor once it takes clients.
    int numberPipe[2];
    if (pipe2(numberPipe, O_CLOEXEC) != 0) {
        m_serverFailure = QStringLiteral("Xvfb could not start: no pipe");
        return;
    }
    m_server = Spawn(QStringLiteral("Xvfb"),
                     {QStringLiteral("-displayfd"), QString::number(numberPipe[1]), QStringLiteral("-screen"),
                      QStringLiteral("0"), QStringLiteral("1600x900x24"), QStringLiteral("-nolisten"),
                      QStringLiteral("tcp")},
                     numberPipe[1]);
    close(numberPipe[1]);
    QByteArray number;
    const QDeadlineTimer deadline(kBusyMachineWaitMs);
    char byte = 0;
    while (m_server > 0 && !number.endsWith('\n') && WaitReadable(numberPipe[0], deadline) &&
           read(numberPipe[0], &byte, 1) == 1)
        number.append(byte);
    close(numberPipe[0]);
    if (m_server <= 0 || !number.endsWith('\n')) {
        m_serverFailure = QStringLiteral("Xvfb could not start (is it installed? scripts/install-deps.sh)");
        End(m_server);
        return;
    }
    const QByteArray display = ':' + number.trimmed();
    setenv("DISPLAY", display.constData(), 1);
    m_connection = xcb_connect(display.constData(), nullptr);
    if (xcb_connection_has_error(m_connection)) {
        m_serverFailure = QStringLiteral("Xvfb started on %1 but takes no connection").arg(display);
        return;
    }

    m_windowManager = Spawn(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    if (m_windowManager <= 0)
        m_windowManagerFailure =
            QStringLiteral("openbox could not start (scripts/install-deps.sh installs it)");
    else if (!WaitForWindowManager(kBusyMachineWaitMs))
        m_windowManagerFailure = QStringLiteral("openbox did not take the screen in time");
}

DesktopSession::~DesktopSession() {
    if (g_desktop == this)
        g_desktop = nullptr;
    End(m_tray);
    End(m_windowManager);
    if (m_connection)
        xcb_disconnect(m_connection);
    End(m_server);
}

bool DesktopSession::WaitForWindowManager(int timeoutMs) {
    // The window manager has taken the screen once it manages a window mapped here: it gives the
    // window its WM_STATE. (Its name on the root window comes earlier, while it is still starting.)
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
    const xcb_window_t probe = xcb_generate_id(m_connection);
    const uint32_t propertyChanges = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, probe, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_EVENT_MASK,
                      &propertyChanges);
    xcb_map_window(m_connection, probe);
    const QDeadlineTimer deadline(timeoutMs);
    bool managed = false;
    while (!(managed = WmState(probe).has_value())) {
        // An event read along with a reply waits in xcb's queue, not on the socket.
        bool queued = false;
        while (xcb_generic_event_t* event = xcb_poll_for_queued_event(m_connection)) {
            std::free(event);
            queued = true;
        }
        if (queued)
            continue;
        if (xcb_connection_has_error(m_connection) ||
            !WaitReadable(xcb_get_file_descriptor(m_connection), deadline))
            break;
        while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection))
            std::free(event);
    }
    xcb_destroy_window(m_connection, probe);
    xcb_flush(m_connection);
    return managed;
}

QString DesktopSession::StartTray() {
    if (m_tray > 0)
        return {};
    m_tray = Spawn(QStringLiteral("trayer"),
                   {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                    QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("pixel"),
                    QStringLiteral("--width"), QString::number(kTrayWidth), QStringLiteral("--heighttype"),
                    QStringLiteral("pixel"), QStringLiteral("--height"), QString::number(kTrayHeight)});
    return m_tray > 0 ? QString()
                      : QStringLiteral("trayer could not start (scripts/install-deps.sh installs it)");
}

void DesktopSession::EndTray() {
    End(m_tray);
}

void DesktopSession::EndWindowManager() {
    End(m_windowManager);
}

QRect DesktopSession::TrayArea() const {
    const int screenWidth = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->width_in_pixels;
    return QRect(screenWidth - kTrayWidth, 0, kTrayWidth, kTrayHeight);
}

std::optional<unsigned> DesktopSession::WmState(unsigned long window) const {
    const xcb_atom_t wmState = Atom(m_connection, "WM_STATE");
    const auto property = Owned(xcb_get_property_reply(
        m_connection,
        xcb_get_property(m_connection, 0, static_cast<xcb_window_t>(window), wmState, wmState, 0, 2),
        nullptr));
    if (!property || xcb_get_property_value_length(property.get()) < 4)
        return std::nullopt;
    return *static_cast<const uint32_t*>(xcb_get_property_value(property.get()));
}

bool DesktopSession::IsViewable(unsigned long window) const {
    const auto attributes = Owned(xcb_get_window_attributes_reply(
        m_connection, xcb_get_window_attributes(m_connection, static_cast<xcb_window_t>(window)), nullptr));
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
}

QRect DesktopSession::FrameRect(unsigned long window) const {
    auto frame = static_cast<xcb_window_t>(window);
    for (;;) {
        const auto tree =
            Owned(xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, frame), nullptr));
        if (!tree || tree->parent == tree->root || tree->parent == XCB_WINDOW_NONE)
            break;
        frame = tree->parent;
    }
    const auto geometry =
        Owned(xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, frame), nullptr));
    if (!geometry)
        return {};
    const int border = geometry->border_width;
    return QRect(geometry->x, geometry->y, geometry->width + 2 * border, geometry->height + 2 * border);
}

QRect DesktopSession::WindowRect(unsigned long window) const {
    const auto id = static_cast<xcb_window_t>(window);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    const auto geometry =
        Owned(xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, id), nullptr));
    const auto origin = Owned(xcb_translate_coordinates_reply(
        m_connection, xcb_translate_coordinates(m_connection, id, root, 0, 0), nullptr));
    if (!geometry || !origin)
        return {};
    return QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
}

void DesktopSession::RequestMaximized(unsigned long window, bool maximized) const {
    constexpr uint32_t kRemove = 0;
    constexpr uint32_t kAdd = 1;
    constexpr uint32_t kFromTheUser = 2; // the request's source: a pager or taskbar, for the user
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = static_cast<xcb_window_t>(window);
    message.type = Atom(m_connection, "_NET_WM_STATE");
    message.data.data32[0] = maximized ? kAdd : kRemove;
    message.data.data32[1] = Atom(m_connection, "_NET_WM_STATE_MAXIMIZED_VERT");
    message.data.data32[2] = Atom(m_connection, "_NET_WM_STATE_MAXIMIZED_HORZ");
    message.data.data32[3] = kFromTheUser;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    xcb_send_event(m_connection, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(m_connection);
}

bool DesktopSession::IsMaximized(unsigned long window) const {
    constexpr uint32_t kMostStates = 32;
    const auto property = Owned(xcb_get_property_reply(
        m_connection,
        xcb_get_property(m_connection, 0, static_cast<xcb_window_t>(window),
                         Atom(m_connection, "_NET_WM_STATE"), XCB_ATOM_ATOM, 0, kMostStates),
        nullptr));
    if (!property)
        return false;
    const auto* const states = static_cast<const xcb_atom_t*>(xcb_get_property_value(property.get()));
    const int count = xcb_get_property_value_length(property.get()) / static_cast<int>(sizeof(xcb_atom_t));
    int maximizedWays = 0;
    for (const xcb_atom_t atom : {Atom(m_connection, "_NET_WM_STATE_MAXIMIZED_VERT"),
                                  Atom(m_connection, "_NET_WM_STATE_MAXIMIZED_HORZ")})
        maximizedWays += std::count(states, states + count, atom) > 0 ? 1 : 0;
    return maximizedWays == 2;
}

bool DesktopSession::RunTool(const QString& program, const QStringList& arguments) {
    QProcess tool;
    tool.start(program, arguments);
    return tool.waitForFinished(kBusyMachineWaitMs) && tool.exitStatus() == QProcess::NormalExit &&
           tool.exitCode() == 0;
}
