#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <string>

// How often the BPF programs this process holds ran, and for how long in total: the cost they
// add to the processes whose packets and calls they see. The kernel measures run times only
// while some process asks it to; an instance asks for as long as it lives.
class BpfRunStats {
public:
    struct Program {
        std::string name;
        uint64_t runs = 0;
        uint64_t ns = 0;
    };

    BpfRunStats();
    ~BpfRunStats();
    BpfRunStats(const BpfRunStats&) = delete;
    BpfRunStats& operator=(const BpfRunStats&) = delete;

    bool enabled() const { return m_statsFd >= 0; }
    // The programs of this process by id (from /proc/self/fdinfo), with their counts so far.
    std::map<uint32_t, Program> sample() const;
    // The same for the programs another process holds (through program or link descriptors).
    // The counts stay 0 while no process has the statistics turned on.
    static std::map<uint32_t, Program> sample(pid_t pid);
    // Every BPF program loaded on the machine whose name starts with prefix, by id.
    static std::map<uint32_t, std::string> loaded(const std::string& prefix);

private:
    int m_statsFd = -1;
};
