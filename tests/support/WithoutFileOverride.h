#pragma once
// Drops the calling thread's power to ignore file permissions (CAP_DAC_OVERRIDE and
// CAP_DAC_READ_SEARCH) for as long as the object lives, so a test running as root meets a
// read-only folder or an unreadable file as any user would. Without those capabilities it changes
// nothing.
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

class WithoutFileOverride {
public:
    WithoutFileOverride() {
        m_header = {_LINUX_CAPABILITY_VERSION_3, 0};
        m_ok = syscall(SYS_capget, &m_header, m_saved) == 0;
        if (!m_ok)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        syscall(SYS_capset, &m_header, reduced);
    }
    ~WithoutFileOverride() {
        if (m_ok)
            syscall(SYS_capset, &m_header, m_saved);
    }
    WithoutFileOverride(const WithoutFileOverride&) = delete;
    WithoutFileOverride& operator=(const WithoutFileOverride&) = delete;

private:
    __user_cap_header_struct m_header{};
    __user_cap_data_struct m_saved[2]{};
    bool m_ok = false;
};
