#pragma once
// An operator's locale for one category of the process, built by localedef from the system's
// locale sources (the locales package) into a folder of its own: no locale need be generated on
// the machine, and none of its locale settings change. The category's locale is put back when the
// object ends. Without the sources it is not Set(), and Reason() says why:
//
//     BuiltLocale german("de_DE", LC_NUMERIC);
//     if (!german.Set())
//         GTEST_SKIP() << german.Reason();
#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <clocale>
#include <cstdlib>
#include <optional>
#include <string>

class BuiltLocale {
public:
    // `source`: a locale source's name, as "de_DE"; the locale is built for UTF-8.
    BuiltLocale(const QString& source, int category) : m_category(category) {
        const QString name = source + QStringLiteral(".UTF-8");
        if (!m_folder.isValid()) {
            m_reason = "no temporary folder to build the " + name.toStdString() + " locale in";
            return;
        }
        QProcess localedef;
        localedef.setProcessChannelMode(QProcess::MergedChannels);
        localedef.start(QStringLiteral("localedef"), {QStringLiteral("-i"), source, QStringLiteral("-f"),
                                                      QStringLiteral("UTF-8"), m_folder.filePath(name)});
        localedef.waitForFinished(-1); // a build takes seconds on a busy machine
        const QByteArray said = localedef.error() == QProcess::FailedToStart
                                    ? localedef.errorString().toLocal8Bit()
                                    : localedef.readAll().simplified();

        const char* const before = std::setlocale(m_category, nullptr);
        m_before = before ? before : "C";
        // The built locale is found through LOCPATH, set only while it is loaded: with LOCPATH
        // set, the machine's own locales are not found.
        const char* const path = std::getenv("LOCPATH");
        const std::optional<std::string> savedPath = path ? std::optional<std::string>(path) : std::nullopt;
        ::setenv("LOCPATH", QFile::encodeName(m_folder.path()).constData(), 1);
        m_set = std::setlocale(m_category, name.toLatin1().constData()) != nullptr;
        if (savedPath)
            ::setenv("LOCPATH", savedPath->c_str(), 1);
        else
            ::unsetenv("LOCPATH");
        if (!m_set)
            m_reason = "cannot build the " + name.toStdString() +
                       " locale (localedef: " + said.toStdString() +
                       "): its source comes with the locales package";
    }
    ~BuiltLocale() {
        if (m_set)
            std::setlocale(m_category, m_before.c_str());
    }
    BuiltLocale(const BuiltLocale&) = delete;
    BuiltLocale& operator=(const BuiltLocale&) = delete;

    bool Set() const { return m_set; }
    const std::string& Reason() const { return m_reason; }

private:
    int m_category;
    QTemporaryDir m_folder;
    std::string m_before;
    std::string m_reason;
    bool m_set = false;
};
