// The lumivex program itself, started as a user starts it.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

// A started program with its standard output and error read through pipes.
class Program {
public:
    // environment: NAME=value settings added to the program's environment; inChild runs in
    // the child before the program starts (it fails with status 126 when that returns false).
    explicit Program(const std::vector<std::string>& args, const std::vector<std::string>& environment = {},
                     const std::function<bool()>& inChild = {})
    {
        int out[2], err[2];
        if (::pipe(out) != 0 || ::pipe(err) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(out[1], 1);
            ::dup2(err[1], 2);
            for (const std::string& setting : environment)
                ::putenv(const_cast<char*>(setting.c_str()));
            if (inChild && !inChild())
                ::_exit(126);
            std::vector<char*> argv;
            for (const std::string& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        ::close(err[1]);
        m_out = out[0];
        m_err = err[0];
    }
    ~Program()
    {
        if (m_pid > 0 && !m_exited) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        ::close(m_out);
        ::close(m_err);
    }

    // Reads both pipes until the error output holds text (true) or timeoutMs passed.
    bool waitForError(const std::string& text, int timeoutMs) { return waitForText(m_errText, text, timeoutMs); }
    // The same for the standard output.
    bool waitForOutput(const std::string& text, int timeoutMs) { return waitForText(m_outText, text, timeoutMs); }
    // The exit status, or -1 when the program is still running after timeoutMs.
    int waitExit(int timeoutMs)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            readSome(20);
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_exited = true;
                while (readSome(0)) {
                }
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
        }
        return -1;
    }
    void signal(int number) { ::kill(m_pid, number); }
    const std::string& out() const { return m_outText; }
    const std::string& err() const { return m_errText; }

private:
    bool waitForText(const std::string& read, const std::string& text, int timeoutMs)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (read.find(text) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !readSome(int(left.count())))
                return read.find(text) != std::string::npos;
        }
        return true;
    }

    bool readSome(int timeoutMs)
    {
        pollfd fds[2] = {{m_out, POLLIN, 0}, {m_err, POLLIN, 0}};
        if (::poll(fds, 2, timeoutMs) <= 0)
            return false;
        bool any = false;
        char buf[4096];
        for (int i = 0; i < 2; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                (i == 0 ? m_outText : m_errText).append(buf, size_t(n));
                any = true;
            }
        }
        return any;
    }

    pid_t m_pid = -1;
    int m_out = -1, m_err = -1;
    bool m_exited = false;
    std::string m_outText, m_errText;
};

TEST(ConsoleProgram, HelpPrintsTheUsageAndSucceeds)
{
    Program help({LUMIVEX_PATH, "--help"});
    EXPECT_EQ(help.waitExit(10000), 0);
    EXPECT_EQ(help.out().rfind("usage: lumivex", 0), 0u) << help.out();
    EXPECT_EQ(help.err(), "");
}

TEST(ConsoleProgram, FifoForADataFileIsSkippedAndAnInterruptEndsTheRun)
{
    // A copy of the program beside a data folder whose location database is a FIFO.
    const fs::path folder = fs::temp_directory_path() / ("lumivex-fifo-" + std::to_string(::getpid()));
    fs::create_directories(folder / "dat");
    const fs::path program = folder / "lumivex";
    fs::copy_file(LUMIVEX_PATH, program, fs::copy_options::overwrite_existing);
    ASSERT_EQ(::mkfifo((folder / "dat" / "ication.dat").c_str(), 0600), 0);

    Program run({program.string(), "--seconds", "60", "--no-history"});
    EXPECT_TRUE(run.waitForError("ication.dat is not a regular file", 15000)) << run.err();
    run.signal(SIGTERM);
    EXPECT_EQ(run.waitExit(5000), 0) << run.err();
    EXPECT_NE(run.out().find("Lumivex, "), std::string::npos);  // the report of the run so far
    fs::remove_all(folder);
}

TEST(ConsoleProgram, LogFileThatIsNoRegularFileIsRefusedWithoutWaiting)
{
    const fs::path fifo = fs::temp_directory_path() / ("lumivex-log-" + std::to_string(::getpid()));
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    Program run({LUMIVEX_PATH, "--log", fifo.string(), "--seconds", "1", "--no-history"});
    EXPECT_EQ(run.waitExit(15000), 0) << run.err();
    EXPECT_NE(run.err().find("cannot open log file " + fifo.string()), std::string::npos) << run.err();
    EXPECT_NE(run.out().find("Lumivex, "), std::string::npos);
    fs::remove(fifo);
}

TEST(ConsoleProgram, ServicePrintsNothingAndEndsOnSigterm)
{
    Program service({LUMIVEX_PATH, "--service", "--metrics", "127.0.0.1:0", "--no-history"});
    EXPECT_TRUE(service.waitForError("service: started", 15000)) << service.err();
    EXPECT_NE(service.err().find("metrics on http://127.0.0.1:"), std::string::npos) << service.err();
    service.signal(SIGTERM);
    EXPECT_EQ(service.waitExit(5000), 0) << service.err();
    EXPECT_EQ(service.out(), "");
    EXPECT_NE(service.err().find("service: stopping"), std::string::npos) << service.err();
    EXPECT_EQ(service.err().find("recording history"), std::string::npos) << service.err();
}

#ifdef LUMIVEX_HAVE_HISTORY
// Under systemd the service records into its state directory, and SIGTERM writes what it
// counted: datagrams this test sends are in the database afterwards.
TEST(ConsoleProgram, ServiceRecordsHistoryInItsStateDirectoryUntilSigterm)
{
    const fs::path state = fs::temp_directory_path() / ("lumivex-state-" + std::to_string(::getpid()));
    fs::remove_all(state);
    fs::create_directories(state);
    const std::string database = (state / "history.sqlite").string();
    Program service({LUMIVEX_PATH, "--service"}, {"STATE_DIRECTORY=" + state.string()});
    ASSERT_TRUE(service.waitForError("recording history in " + database, 15000)) << service.err();

    // To a documentation address by the default route; nothing needs to answer.
    const int udp = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(9);
    ::inet_pton(AF_INET, "198.51.100.7", &to.sin_addr);
    const bool routed = ::connect(udp, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
    const char payload[1000] = {};
    for (int i = 0; routed && i < 20; ++i)
        ::send(udp, payload, sizeof payload, 0);
    ::close(udp);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));

    service.signal(SIGTERM);
    EXPECT_EQ(service.waitExit(10000), 0) << service.err();
    EXPECT_NE(service.err().find("history stopped (recording, " + database + "): "), std::string::npos) << service.err();
    EXPECT_NE(service.err().find("history_flushes 1"), std::string::npos) << service.err();

    Program query({LUMIVEX_PATH, "history", "--history", database, "--since", "1h", "--by", "host", "--json"});
    EXPECT_EQ(query.waitExit(10000), 0) << query.err();
    if (routed) {
        EXPECT_NE(query.out().find("198.51.100.7"), std::string::npos) << query.out();
    }
    fs::remove_all(state);
}
#endif

// In the child, before the program starts: a network namespace of its own with only the
// loopback device, whose DNS server (named in a private /etc/resolv.conf) takes every query
// and answers none, and an /etc/hosts that does not know the host's own name. A lookup there
// waits for the resolver's time-outs (10 s), and nothing leaves the machine.
bool silentResolverHere(const fs::path& folder)
{
    if (::unshare(CLONE_NEWNS | CLONE_NEWNET) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount((folder / "resolv.conf").c_str(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr) != 0 ||
        ::mount((folder / "hosts").c_str(), "/etc/hosts", nullptr, MS_BIND, nullptr) != 0)
        return false;
    const int control = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq loopback{};
    std::strcpy(loopback.ifr_name, "lo");
    loopback.ifr_flags = IFF_UP | IFF_LOOPBACK | IFF_RUNNING;
    const bool up = ::ioctl(control, SIOCSIFFLAGS, &loopback) == 0;
    ::close(control);
    // Left open across the exec: the program holds the server that never answers.
    const int server = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(53);
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return up && ::bind(server, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0;
}

// Nothing at start or stop waits on the network: with a resolver that never answers, a
// one-second run ends well within three seconds, and SIGTERM ends a live run within one.
TEST(ConsoleProgram, ASilentResolverDelaysNeitherStartNorStop)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root (a mount and network namespace of its own)";
    const fs::path folder = fs::temp_directory_path() / ("lumivex-resolver-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    std::ofstream(folder / "resolv.conf") << "nameserver 127.0.0.1\noptions timeout:5 attempts:2\n";
    std::ofstream(folder / "hosts") << "127.0.0.1 localhost\n";
    const auto silent = [&folder] { return silentResolverHere(folder); };

    auto start = std::chrono::steady_clock::now();
    Program once({LUMIVEX_PATH, "--seconds", "1", "--no-history"}, {}, silent);
    EXPECT_EQ(once.waitExit(30000), 0) << once.err();
    const auto onceTook = std::chrono::steady_clock::now() - start;
    EXPECT_LT(onceTook, std::chrono::seconds(3));

    Program live({LUMIVEX_PATH, "--no-history"}, {}, silent);
    ASSERT_TRUE(live.waitForOutput("Lumivex, ", 30000)) << live.err();
    start = std::chrono::steady_clock::now();
    live.signal(SIGTERM);
    EXPECT_EQ(live.waitExit(30000), 0) << live.err();
    const auto stopTook = std::chrono::steady_clock::now() - start;
    EXPECT_LT(stopTook, std::chrono::seconds(1));
    std::printf("silent resolver: a --seconds 1 run took %.2f s, SIGTERM ended a live run in %.2f s\n",
                std::chrono::duration<double>(onceTook).count(), std::chrono::duration<double>(stopTook).count());
    fs::remove_all(folder);
}

TEST(ConsoleProgram, AMetricsPortInUseEndsTheRunBeforeItStarts)
{
    const int taken = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof at;
    ASSERT_EQ(::bind(taken, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    ASSERT_EQ(::listen(taken, 1), 0);
    ASSERT_EQ(::getsockname(taken, reinterpret_cast<sockaddr*>(&at), &length), 0);
    const std::string where = "127.0.0.1:" + std::to_string(ntohs(at.sin_port));

    Program run({LUMIVEX_PATH, "--seconds", "1", "--metrics", where});
    EXPECT_EQ(run.waitExit(10000), 1);
    EXPECT_NE(run.err().find("cannot serve metrics on " + where), std::string::npos) << run.err();
    EXPECT_EQ(run.out(), "");
    ::close(taken);
}

} // namespace
