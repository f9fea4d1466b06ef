#pragma once
// One FTP connection for one upload run, over libcurl's easy interface: one handle for the run,
// so every request reuses the connection; ending the session sends QUIT. Every call blocks until
// it is done or a time-out ends it. The password goes to libcurl apart from any URL, so it never
// shows in one.
#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

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

class FtpSession {
public:
    explicit FtpSession(const FtpSessionSettings& settings);
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
    bool Put(const QString& localPath, const QString& remoteName);
    // Ends the connection (QUIT) and the session; later calls fail.
    void Close();

    // The text of the last failure.
    QString ErrorText() const { return m_strError; }

private:
    bool Perform(const QByteArray& url);

    struct Handle;
    std::unique_ptr<Handle> m_handle;
    std::optional<QByteArray> m_serverUrl;
    QByteArray m_folderPath;
    bool m_bTimeoutsSet = false;
    bool m_bConnected = false;
    QString m_strError;
};
