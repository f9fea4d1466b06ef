#pragma once
// Lowers the process's address-space limit (RLIMIT_AS, as `ulimit -v` does) for as long as the
// object lives, and reads the process's virtual size. A build with AddressSanitizer reserves
// terabytes of address space up front, so there no limit can be set: Supported() says so.
#include <QByteArray>
#include <QFile>
#include <sys/resource.h>

class AddressSpaceLimit {
public:
    static constexpr bool Supported() {
#if defined(__SANITIZE_ADDRESS__)
        return false;
#else
        return true;
#endif
    }

    // A line of /proc/self/status in kB ("VmSize", the size now; "VmPeak", the largest so far).
    static qint64 StatusKb(const char* field) {
        QFile status(QStringLiteral("/proc/self/status"));
        if (!status.open(QIODevice::ReadOnly))
            return -1;
        const QByteArray prefix = QByteArray(field) + ':';
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith(prefix))
                return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
        return -1;
    }

    explicit AddressSpaceLimit(qint64 kilobytes) {
        m_set = getrlimit(RLIMIT_AS, &m_saved) == 0;
        if (!m_set)
            return;
        rlimit lowered = m_saved;
        lowered.rlim_cur = static_cast<rlim_t>(kilobytes) * 1024;
        m_set = setrlimit(RLIMIT_AS, &lowered) == 0;
    }
    ~AddressSpaceLimit() {
        if (m_set)
            setrlimit(RLIMIT_AS, &m_saved); // the hard limit stays, so the soft one goes back up
    }
    AddressSpaceLimit(const AddressSpaceLimit&) = delete;
    AddressSpaceLimit& operator=(const AddressSpaceLimit&) = delete;

    bool IsSet() const {
        return m_set;
    }

private:
    rlimit m_saved{};
    bool m_set = false;
};
