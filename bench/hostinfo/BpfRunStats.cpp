#include "BpfRunStats.h"

#include <bpf/bpf.h>
#include <dirent.h>
#include <linux/bpf.h>
#include <unistd.h>

#include <fstream>

BpfRunStats::BpfRunStats() : m_statsFd(bpf_enable_stats(BPF_STATS_RUN_TIME)) {}

BpfRunStats::~BpfRunStats()
{
    if (m_statsFd >= 0)
        close(m_statsFd);
}

std::map<uint32_t, BpfRunStats::Program> BpfRunStats::sample() const
{
    return sample(getpid());
}

std::map<uint32_t, BpfRunStats::Program> BpfRunStats::sample(pid_t pid)
{
    std::map<uint32_t, Program> programs;
    const std::string fdinfo = "/proc/" + std::to_string(pid) + "/fdinfo/";
    DIR* dir = opendir(fdinfo.c_str());
    if (!dir)
        return programs;
    while (dirent* e = readdir(dir)) {
        std::ifstream info(fdinfo + e->d_name);
        std::string line;
        while (std::getline(info, line))
            if (line.rfind("prog_id:", 0) == 0)
                programs[uint32_t(std::stoul(line.substr(8)))];
    }
    closedir(dir);
    for (auto& [id, program] : programs) {
        const int fd = bpf_prog_get_fd_by_id(id);
        if (fd < 0)
            continue;
        bpf_prog_info info{};
        uint32_t len = sizeof info;
        if (bpf_obj_get_info_by_fd(fd, &info, &len) == 0) {
            program.name = info.name;
            program.runs = info.run_cnt;
            program.ns = info.run_time_ns;
        }
        close(fd);
    }
    return programs;
}

std::map<uint32_t, std::string> BpfRunStats::loaded(const std::string& prefix)
{
    std::map<uint32_t, std::string> programs;
    uint32_t id = 0;
    while (bpf_prog_get_next_id(id, &id) == 0) {
        const int fd = bpf_prog_get_fd_by_id(id);
        if (fd < 0)
            continue;
        bpf_prog_info info{};
        uint32_t len = sizeof info;
        if (bpf_obj_get_info_by_fd(fd, &info, &len) == 0 && std::string(info.name).rfind(prefix, 0) == 0)
            programs[id] = info.name;
        close(fd);
    }
    return programs;
}
