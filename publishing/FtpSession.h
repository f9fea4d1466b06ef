#pragma once
// One FTP connection for one upload run, over libcurl: one handle for the run, so every request
// reuses the connection; ending the session sends QUIT. Every call blocks until it is done, a
// time-out ends it or its FtpAbort is set. The password goes to libcurl apart from any URL, so it
// never shows in one.
#include <QByteArray>
#include <QString>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <set>

class QIODevice;

struct FtpSessionSettings {
    QString server; // host name, or host:port
    QString account;
    QString password;
    bool passive = true;
    int timeoutSeconds = 30; // connecting, each server response, a stalled transfer
};

// "ftp://host[:port]" for a server name, or nothing when the name is no valid host.
std::optional<QByteArray> FtpServerUrl(const QString& server);
// The URL path of a remote folder, ending in "/": each segment percent-encoded, an absolute
// folder led by "%2F"; "" for the login folder.
QByteArray FtpFolderPath(const QString& folder);

// Ends a session's waits from another thread within a second: the session looks at it between
// waits of at most a tenth of a second, libcurl's progress check gives up, and every socket the
// session has open is shut down, which ends at once the waits inside libcurl (for the answer after
// a transfer, or to QUIT while the session is cleaned up).
class FtpAbort {
public:
    // Any thread.
    void Abort();
    bool IsAborted() const { return m_aborted.load(); }
    // Between runs only, while no session uses it.
    void Reset() { m_aborted = false; }

    // The session's sockets are made and closed here, so that Abort reaches each one still open
    // and never a descriptor number that was closed and taken again. No socket once aborted.
    int OpenSocket(int domain, int type, int protocol);
    void CloseSocket(int socket);

private:
    std::atomic<bool> m_aborted{false};
    std::mutex m_mutex;
    std::set<int> m_sockets;
};

// The error text of a session that was aborted.
QString FtpAbortedText();

class FtpSession {
public:
    // `abort`, when given, must outlive the session.
    explicit FtpSession(const FtpSessionSettings& settings, FtpAbort* abort = nullptr);
    ~FtpSession();
    FtpSession(const FtpSession&) = delete;
    FtpSession& operator=(const FtpSession&) = delete;

    // Whether every time-out option was accepted (set when the session is made).
    bool TimeoutsSet() const { return m_bTimeoutsSet; }
    // Logs in, transferring nothing.
    bool Connect();
    bool IsConnected() const { return m_bConnected; }
    // Checks that the remote folder exists and makes it the folder of the later uploads.
    bool ChangeDirectory(const QString& folder);
    // Stores a local file under a remote name in the current folder, as a binary transfer.
    // A file that grows meanwhile (the data log) is sent as it was when opened, and it is not
    // trimmed in place while it is sent (platform::WholeFileRead).
    bool Put(const QString& localPath, const QString& remoteName);
    // Stores bytes under a remote name, as Put does.
    bool PutBytes(const QByteArray& bytes, const QString& remoteName);
    // Ends the connection (QUIT) and the session; later calls fail. True when the session was
    // connected and the server answered QUIT; else ErrorText() says why.
    bool Close();

    // The text of the last failure.
    QString ErrorText() const { return m_strError; }

private:
    bool Perform(const QByteArray& url);
    bool Send(QIODevice& source, const QString& remoteName);

    struct Handle;
    FtpAbort* m_abort;
    std::unique_ptr<Handle> m_handle;
    std::optional<QByteArray> m_serverUrl;
    QByteArray m_folderPath;
    bool m_bTimeoutsSet = false;
    bool m_bConnected = false;
    QString m_strError;
};
