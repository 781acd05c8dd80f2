// The flow-counting programs belong to the process that loaded them: gone when the engine
// stops, when lumivex ends on SIGTERM, and when it is killed outright. bpftool is the judge.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <string>

#include "TestNetwork.h"
#include "hostinfo/XKernelIoTrace.h"
#include "platform/IoEventSource.h"

extern char** environ;

namespace {

constexpr size_t kPrograms = 7;  // with task access: five cgroup programs and two tracepoint ones

// Ids of the BPF programs the process holds open, directly or through links.
std::set<uint32_t> programsHeldBy(pid_t pid)
{
    std::set<uint32_t> ids;
    const std::string dir = "/proc/" + std::to_string(pid) + "/fdinfo";
    DIR* d = opendir(dir.c_str());
    if (!d)
        return ids;
    while (dirent* e = readdir(d)) {
        std::ifstream info(dir + "/" + e->d_name);
        std::string line;
        while (std::getline(info, line))
            if (line.rfind("prog_id:", 0) == 0)
                ids.insert(uint32_t(std::stoul(line.substr(8))));
    }
    closedir(d);
    return ids;
}

// Ids of every program the kernel has loaded, as bpftool lists them.
std::set<uint32_t> loadedPrograms()
{
    std::set<uint32_t> ids;
    FILE* p = popen("bpftool -j prog show 2>/dev/null", "r");
    if (!p)
        return ids;
    std::string json;
    char buf[4096];
    while (size_t n = fread(buf, 1, sizeof buf, p))
        json.append(buf, n);
    pclose(p);
    const std::regex id("\\{\"id\":(\\d+)");
    for (auto it = std::sregex_iterator(json.begin(), json.end(), id); it != std::sregex_iterator(); ++it)
        ids.insert(uint32_t(std::stoul((*it)[1])));
    return ids;
}

bool anyLoaded(const std::set<uint32_t>& ids)
{
    const std::set<uint32_t> loaded = loadedPrograms();
    for (const uint32_t id : ids)
        if (loaded.count(id))
            return true;
    return false;
}

class BpfDetach : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (geteuid() != 0)
            GTEST_SKIP() << "loading BPF programs needs root";
        if (system("bpftool version >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "bpftool is not installed";
    }
};

TEST_F(BpfDetach, ProgramsGoWhenTheEngineStops)
{
    XKernelIoTrace trace(platform::createSystemIoEventSource());
    if (trace.sourceStatus() != "ebpf")
        GTEST_SKIP() << "the eBPF source is not available here: " << trace.sourceStatus();
    trace.enableNetEvents();
    trace.startTraceThread();
    ASSERT_TRUE(waitFor([&] { return trace.stats().running; }, 5000));
    const std::set<uint32_t> ours = programsHeldBy(getpid());
    EXPECT_GE(ours.size(), kPrograms);
    EXPECT_TRUE(anyLoaded(ours));
    trace.stopTrace();
    EXPECT_TRUE(programsHeldBy(getpid()).empty());
    EXPECT_TRUE(waitFor([&] { return !anyLoaded(ours); }, 3000)) << "programs left loaded after the stop";
}

TEST_F(BpfDetach, ProgramsGoWhenLumivexEndsOnSigtermOrIsKilled)
{
    for (const int sig : {SIGTERM, SIGKILL}) {
        posix_spawn_file_actions_t quiet;
        posix_spawn_file_actions_init(&quiet);
        posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&quiet, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        char* argv[] = {const_cast<char*>(LUMIVEX_PATH), const_cast<char*>("--no-history"), nullptr};
        pid_t pid = -1;
        ASSERT_EQ(posix_spawn(&pid, LUMIVEX_PATH, &quiet, nullptr, argv, environ), 0);
        posix_spawn_file_actions_destroy(&quiet);
        std::set<uint32_t> held;
        const bool loaded = waitFor([&] { return (held = programsHeldBy(pid)).size() >= kPrograms; }, 10000);
        kill(pid, sig);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(loaded) << "lumivex did not load the programs";
        if (sig == SIGTERM) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
        }
        EXPECT_TRUE(waitFor([&] { return !anyLoaded(held); }, 3000))
            << "programs left loaded after " << (sig == SIGTERM ? "SIGTERM" : "SIGKILL");
    }
}

} // namespace
