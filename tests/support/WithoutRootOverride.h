#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

// File permissions as an ordinary user meets them while this lives: root's
// power to read and write any file is set aside for the calling thread.
class WithoutRootOverride
{
public:
    WithoutRootOverride()
    {
        if (::syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        m_done = ::syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~WithoutRootOverride()
    {
        if (m_done)
            ::syscall(SYS_capset, &m_header, m_saved);
    }
    WithoutRootOverride(const WithoutRootOverride&) = delete;
    WithoutRootOverride& operator=(const WithoutRootOverride&) = delete;

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
    bool m_done = false;
};
