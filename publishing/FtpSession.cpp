#include "publishing/FtpSession.h"

#include "platform/FileAccess.h"
#include "platform/WholeFileReads.h"

#include <QBuffer>
#include <QFile>
#include <QUrl>
#include <algorithm>
#include <curl/curl.h>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// What became of QUIT on the control connection, as libcurl's trace of the commands and replies
// shows it: libcurl sends QUIT as it closes the connection and says nothing of the reply.
struct QuitWatch {
    bool sent = false;
    std::optional<QByteArray> reply; // the first reply line after QUIT
};

} // namespace

// The easy handle runs each request in a multi handle of its own, whose connection cache keeps the
// connection between requests, so that the wait for a request can look at the abort flag.
struct FtpSession::Handle {
    CURL* easy = nullptr;
    CURLM* multi = nullptr;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    QuitWatch quit;
    // Whether the last request left its connection open in the multi handle's cache.
    bool connectionKept = false;
    ~Handle() {
        if (easy)
            curl_easy_cleanup(easy);
        if (multi)
            curl_multi_cleanup(multi); // sends QUIT on a live connection
    }
};

namespace {

// How long a request waits for its sockets before it looks at the abort flag again: the host name's
// look-up, on a thread of libcurl's, has no socket to wake the wait.
constexpr long kAbortCheckMs = 100;

void InitialiseCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// What one transfer reads: no more than the source held when the transfer began.
struct UploadSource {
    QIODevice& device;
    qint64 left;
};

size_t ReadFromSource(char* buffer, size_t size, size_t count, void* userData) {
    auto& source = *static_cast<UploadSource*>(userData);
    const qint64 read = source.device.read(buffer, std::min(static_cast<qint64>(size * count), source.left));
    if (read < 0)
        return CURL_READFUNC_ABORT;
    source.left -= read;
    return static_cast<size_t>(read);
}

int ProgressCheck(void* abort, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<FtpAbort*>(abort)->IsAborted() ? 1 : 0;
}

curl_socket_t OpenSocket(void* abort, curlsocktype, curl_sockaddr* address) {
    const int socket =
        static_cast<FtpAbort*>(abort)->OpenSocket(address->family, address->socktype, address->protocol);
    return socket < 0 ? CURL_SOCKET_BAD : socket;
}

int CloseSocket(void* abort, curl_socket_t socket) {
    static_cast<FtpAbort*>(abort)->CloseSocket(socket);
    return 0;
}

int WatchQuit(CURL*, curl_infotype type, char* data, size_t size, void* watch) {
    auto& quit = *static_cast<QuitWatch*>(watch);
    const std::string_view text(data, size);
    if (type == CURLINFO_HEADER_OUT && text.starts_with("QUIT"))
        quit.sent = true;
    else if (type == CURLINFO_HEADER_IN && quit.sent && !quit.reply)
        quit.reply = QByteArray(data, static_cast<qsizetype>(size)).trimmed();
    return 0;
}

// Runs the easy handle's request to its end, or until `abort` is set. `connectionKept` says whether
// the connection stays open for the next request.
CURLcode Transfer(CURL* easy, CURLM* multi, const FtpAbort* abort, bool& connectionKept) {
    if (curl_multi_add_handle(multi, easy) != CURLM_OK)
        return CURLE_FAILED_INIT;
    std::optional<CURLcode> result;
    while (!result) {
        int running = 0;
        if (abort && abort->IsAborted())
            result = CURLE_ABORTED_BY_CALLBACK;
        else if (curl_multi_perform(multi, &running) != CURLM_OK)
            result = CURLE_FAILED_INIT;
        int queued = 0;
        while (const CURLMsg* message = curl_multi_info_read(multi, &queued))
            if (!result && message->msg == CURLMSG_DONE && message->easy_handle == easy)
                result = message->data.result;
        if (!result)
            curl_multi_poll(multi, nullptr, 0, kAbortCheckMs, nullptr);
    }
    // Only while the handle is in the multi handle does libcurl find its connection in the cache.
    curl_socket_t socket = CURL_SOCKET_BAD;
    connectionKept =
        curl_easy_getinfo(easy, CURLINFO_ACTIVESOCKET, &socket) == CURLE_OK && socket != CURL_SOCKET_BAD;
    // Removed before its end, a request's connection is closed without QUIT.
    curl_multi_remove_handle(multi, easy);
    return *result;
}

// libcurl (7.88) complains that it cannot print the peer address of the socket it listens on for an
// active-mode data connection. The complaint ends nothing, but the error buffer keeps only a
// transfer's first text, so it would stand in for whatever did end the transfer (a time-out).
bool HarmlessErrorText(std::string_view text) {
    return text.starts_with("sa_addr inet_ntop() failed");
}

// Sets each option in turn, stopping at the first that libcurl refuses; true when all were set.
template <typename... Options> bool SetAll(CURL* easy, Options... options) {
    return ((curl_easy_setopt(easy, options.first, options.second) == CURLE_OK) && ...);
}

} // namespace

std::optional<QByteArray> FtpServerUrl(const QString& server) {
    QString host = server.trimmed();
    int port = -1;
    const qsizetype colon = host.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0 && host.indexOf(QLatin1Char(':')) == colon) {
        bool ok = false;
        port = host.mid(colon + 1).toInt(&ok);
        if (!ok || port < 1 || port > 65535)
            return std::nullopt;
        host.truncate(colon);
    }
    QUrl url;
    url.setScheme(QStringLiteral("ftp"));
    url.setHost(host, QUrl::StrictMode);
    if (host.isEmpty() || url.host().isEmpty() || !url.isValid())
        return std::nullopt;
    url.setPort(port);
    return url.toEncoded();
}

QByteArray FtpFolderPath(const QString& folder) {
    QByteArray path;
    if (folder.startsWith(QLatin1Char('/')))
        path = "%2F";
    for (const QString& segment : folder.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (!path.isEmpty() && !path.endsWith('/'))
            path += '/';
        path += QUrl::toPercentEncoding(segment);
    }
    if (!path.isEmpty())
        path += '/';
    return path;
}

void FtpAbort::Abort() {
    const std::lock_guard lock(m_mutex);
    m_aborted = true;
    for (const int socket : m_sockets)
        ::shutdown(socket, SHUT_RDWR);
}

int FtpAbort::OpenSocket(int domain, int type, int protocol) {
    const std::lock_guard lock(m_mutex);
    if (m_aborted)
        return -1;
    const int socket = ::socket(domain, type | SOCK_CLOEXEC, protocol);
    if (socket >= 0)
        m_sockets.insert(socket);
    return socket;
}

void FtpAbort::CloseSocket(int socket) {
    const std::lock_guard lock(m_mutex);
    m_sockets.erase(socket);
    ::close(socket);
}

QString FtpAbortedText() {
    return QStringLiteral("FTP upload abandoned");
}

FtpSession::FtpSession(const FtpSessionSettings& settings, FtpAbort* abort)
    : m_abort(abort), m_handle(std::make_unique<Handle>()), m_serverUrl(FtpServerUrl(settings.server)) {
    InitialiseCurl();
    m_handle->easy = curl_easy_init();
    m_handle->multi = curl_multi_init();
    CURL* easy = m_handle->easy;
    if (!easy || !m_handle->multi)
        return;
    const QByteArray account = settings.account.toUtf8();
    const QByteArray password = settings.password.toUtf8(); // libcurl keeps its own copies
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, m_handle->errorBuffer);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "ftp");
    curl_easy_setopt(easy, CURLOPT_USERNAME, account.constData());
    curl_easy_setopt(easy, CURLOPT_PASSWORD, password.constData());
    if (!settings.passive)
        curl_easy_setopt(easy, CURLOPT_FTPPORT, "-");
    // The trace goes to WatchQuit alone, never to the standard error.
    curl_easy_setopt(easy, CURLOPT_DEBUGFUNCTION, WatchQuit);
    curl_easy_setopt(easy, CURLOPT_DEBUGDATA, &m_handle->quit);
    curl_easy_setopt(easy, CURLOPT_VERBOSE, 1L);
    if (m_abort) {
        // An aborted host-name look-up is left to end on its own thread, not waited for.
        curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
        // Waits inside libcurl look at the progress check about once a second.
        curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, ProgressCheck);
        curl_easy_setopt(easy, CURLOPT_XFERINFODATA, m_abort);
        curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, OpenSocket);
        curl_easy_setopt(easy, CURLOPT_OPENSOCKETDATA, m_abort);
        curl_easy_setopt(easy, CURLOPT_CLOSESOCKETFUNCTION, CloseSocket);
        curl_easy_setopt(easy, CURLOPT_CLOSESOCKETDATA, m_abort);
    }
    const long seconds = settings.timeoutSeconds;
    const long ms = seconds * 1000;
    m_bTimeoutsSet =
        seconds > 0 &&
        SetAll(easy, std::pair{CURLOPT_CONNECTTIMEOUT_MS, ms},
               std::pair{CURLOPT_SERVER_RESPONSE_TIMEOUT, seconds}, std::pair{CURLOPT_ACCEPTTIMEOUT_MS, ms},
               std::pair{CURLOPT_LOW_SPEED_LIMIT, 1L}, std::pair{CURLOPT_LOW_SPEED_TIME, seconds});
}

FtpSession::~FtpSession() = default;

bool FtpSession::Perform(const QByteArray& url) {
    if (!m_handle || !m_handle->easy || !m_handle->multi) {
        m_strError = QString::fromUtf8(curl_easy_strerror(CURLE_FAILED_INIT));
        return false;
    }
    m_handle->errorBuffer[0] = '\0';
    curl_easy_setopt(m_handle->easy, CURLOPT_URL, url.constData());
    const CURLcode result = Transfer(m_handle->easy, m_handle->multi, m_abort, m_handle->connectionKept);
    if (result == CURLE_OK)
        return true;
    if (m_abort && m_abort->IsAborted())
        m_strError = FtpAbortedText();
    else if (const std::string_view text = m_handle->errorBuffer; !text.empty() && !HarmlessErrorText(text))
        m_strError = QString::fromUtf8(text);
    else
        m_strError = QString::fromUtf8(curl_easy_strerror(result));
    return false;
}

bool FtpSession::Connect() {
    if (!m_serverUrl) {
        m_strError = QString::fromUtf8(curl_easy_strerror(CURLE_URL_MALFORMAT));
        return false;
    }
    if (m_handle && m_handle->easy) {
        curl_easy_setopt(m_handle->easy, CURLOPT_UPLOAD, 0L);
        curl_easy_setopt(m_handle->easy, CURLOPT_NOBODY, 1L);
    }
    m_bConnected = Perform(*m_serverUrl + '/');
    return m_bConnected;
}

bool FtpSession::ChangeDirectory(const QString& folder) {
    if (!m_bConnected)
        return false;
    const QByteArray path = FtpFolderPath(folder);
    curl_easy_setopt(m_handle->easy, CURLOPT_UPLOAD, 0L);
    curl_easy_setopt(m_handle->easy, CURLOPT_NOBODY, 1L);
    if (!Perform(*m_serverUrl + '/' + path))
        return false;
    m_folderPath = path;
    return true;
}

bool FtpSession::Put(const QString& localPath, const QString& remoteName) {
    if (!m_bConnected)
        return false;
    QFile file;
    if (!platform::OpenRegularFile(file, localPath, QIODevice::ReadOnly, &m_strError))
        return false;
    // Not trimmed in place while it is sent, which would send a mix of it before and after.
    const platform::WholeFileRead reading(file.handle());
    return Send(file, remoteName);
}

bool FtpSession::PutBytes(const QByteArray& bytes, const QString& remoteName) {
    if (!m_bConnected)
        return false;
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return Send(buffer, remoteName);
}

bool FtpSession::Send(QIODevice& source, const QString& remoteName) {
    UploadSource upload{source, source.size()};
    CURL* easy = m_handle->easy;
    curl_easy_setopt(easy, CURLOPT_NOBODY, 0L);
    curl_easy_setopt(easy, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(easy, CURLOPT_READFUNCTION, ReadFromSource);
    curl_easy_setopt(easy, CURLOPT_READDATA, &upload);
    curl_easy_setopt(easy, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(upload.left));
    const bool sent = Perform(*m_serverUrl + '/' + m_folderPath + QUrl::toPercentEncoding(remoteName));
    curl_easy_setopt(easy, CURLOPT_READDATA, nullptr);
    curl_easy_setopt(easy, CURLOPT_UPLOAD, 0L);
    return sent;
}

bool FtpSession::Close() {
    const bool connected = m_bConnected;
    m_bConnected = false;
    if (!connected || !m_handle)
        return false;
    if (!m_handle->quit.sent && m_handle->connectionKept) {
        // One more request that may not keep its connection: libcurl closes it with QUIT on this
        // handle, whose trace shows the reply, and not later in the cache's clean-up, unseen.
        CURL* easy = m_handle->easy;
        curl_easy_setopt(easy, CURLOPT_UPLOAD, 0L);
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
        curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
        Perform(*m_serverUrl + '/' + m_folderPath);
    }
    const QuitWatch quit = m_handle->quit;
    const bool answered = quit.reply && quit.reply->startsWith('2');
    if (!answered) {
        if (m_abort && m_abort->IsAborted())
            m_strError = FtpAbortedText();
        else if (quit.reply)
            m_strError = QString::fromUtf8(*quit.reply);
        else if (!quit.sent)
            m_strError = QStringLiteral("connection closed before QUIT");
        else if (m_handle->errorBuffer[0] != '\0')
            m_strError = QString::fromUtf8(m_handle->errorBuffer);
        else
            m_strError = QStringLiteral("no reply to QUIT");
    }
    m_handle.reset();
    return answered;
}
