#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <initializer_list>

#ifndef CAP_BPF
#define CAP_BPF 39
#endif

// Takes capabilities out of this thread's effective set while it lives (threads started
// meanwhile keep the lowered set). Lowering CAP_BPF and CAP_SYS_ADMIN makes the system's event
// source fall back to libpcap, as where the eBPF programs cannot load.
class WithoutCapabilities {
public:
    explicit WithoutCapabilities(std::initializer_list<int> caps)
    {
        ::syscall(SYS_capget, &m_header, m_saved);
        __user_cap_data_struct lowered[2] = {m_saved[0], m_saved[1]};
        for (const int cap : caps)
            lowered[cap / 32].effective &= ~(1u << (cap % 32));
        ::syscall(SYS_capset, &m_header, lowered);
    }
    ~WithoutCapabilities() { ::syscall(SYS_capset, &m_header, m_saved); }
    WithoutCapabilities(const WithoutCapabilities&) = delete;
    WithoutCapabilities& operator=(const WithoutCapabilities&) = delete;

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
};
