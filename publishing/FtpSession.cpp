#include "publishing/FtpSession.h"

#include "platform/FileAccess.h"

#include <QFile>
#include <QUrl>
#include <curl/curl.h>
#include <mutex>

struct FtpSession::Handle {
    CURL* easy = nullptr;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    ~Handle() {
        if (easy)
            curl_easy_cleanup(easy); // sends QUIT on a live connection
    }
};

namespace {

void InitialiseCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

size_t ReadFromFile(char* buffer, size_t size, size_t count, void* userData) {
    const qint64 read = static_cast<QFile*>(userData)->read(buffer, static_cast<qint64>(size * count));
    return read < 0 ? CURL_READFUNC_ABORT : static_cast<size_t>(read);
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

FtpSession::FtpSession(const FtpSessionSettings& settings)
    : m_handle(std::make_unique<Handle>()), m_serverUrl(FtpServerUrl(settings.server)) {
    InitialiseCurl();
    m_handle->easy = curl_easy_init();
    CURL* easy = m_handle->easy;
    if (!easy)
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
    if (!m_handle || !m_handle->easy) {
        m_strError = QString::fromUtf8(curl_easy_strerror(CURLE_FAILED_INIT));
        return false;
    }
    m_handle->errorBuffer[0] = '\0';
    curl_easy_setopt(m_handle->easy, CURLOPT_URL, url.constData());
    const CURLcode result = curl_easy_perform(m_handle->easy);
    if (result == CURLE_OK)
        return true;
    m_strError =
        QString::fromUtf8(m_handle->errorBuffer[0] ? m_handle->errorBuffer : curl_easy_strerror(result));
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
    CURL* easy = m_handle->easy;
    curl_easy_setopt(easy, CURLOPT_NOBODY, 0L);
    curl_easy_setopt(easy, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(easy, CURLOPT_READFUNCTION, ReadFromFile);
    curl_easy_setopt(easy, CURLOPT_READDATA, &file);
    curl_easy_setopt(easy, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(file.size()));
    const bool sent = Perform(*m_serverUrl + '/' + m_folderPath + QUrl::toPercentEncoding(remoteName));
    curl_easy_setopt(easy, CURLOPT_READDATA, nullptr);
    curl_easy_setopt(easy, CURLOPT_UPLOAD, 0L);
    return sent;
}

void FtpSession::Close() {
    m_handle.reset();
    m_bConnected = false;
}
