#include "TestNetwork.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

extern char** environ;

std::string peerProgram()
{
    return E2E_PEER_PATH;
}

namespace {

bool run(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// Namespaces named lvx<pid> whose process is gone are left over from a killed run.
void removeStaleNamespaces()
{
    DIR* dir = opendir("/run/netns");
    if (!dir)
        return;
    while (dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name.rfind("lvx", 0) != 0)
            continue;
        const pid_t owner = pid_t(std::strtol(name.c_str() + 3, nullptr, 10));
        if (owner > 0 && kill(owner, 0) != 0)
            run("ip netns del " + name);
    }
    closedir(dir);
}

} // namespace

bool TestNetwork::create(std::string& why)
{
    if (geteuid() != 0) {
        why = "end-to-end tests need root (network namespaces, packet capture)";
        return false;
    }
    removeStaleNamespaces();
    const int pid = int(getpid());
    m_name = "lvx" + std::to_string(pid);
    m_hostIf = m_name + "h";
    const std::string peerIf = m_name + "p";
    // A /29 of its own per test process, so parallel runs never share addresses.
    const int b = 100 + pid % 100;
    const int c = (pid / 100) % 250;
    const std::string net = "10." + std::to_string(b) + "." + std::to_string(c) + ".";
    m_hostAddr = net + "1";
    m_peerAddr = net + "2";
    m_secondPeerAddr = net + "3";
    m_spareAddr = net + "4";

    const std::string ns = m_name;
    const bool ok = run("ip netns add " + ns) &&
                    (m_created = true) &&
                    run("ip link add " + m_hostIf + " type veth peer name " + peerIf) &&
                    run("ip link set " + peerIf + " netns " + ns) &&
                    // No IPv6 neighbour chatter on the link: its counters then hold our
                    // IPv4 traffic and the occasional ARP only.
                    (run("sysctl -qw net.ipv6.conf." + m_hostIf + ".disable_ipv6=1") || true) &&
                    (run("ip netns exec " + ns + " sysctl -qw net.ipv6.conf." + peerIf + ".disable_ipv6=1") || true) &&
                    run("ip addr add " + m_hostAddr + "/29 dev " + m_hostIf) &&
                    run("ip link set " + m_hostIf + " up") &&
                    run("ip netns exec " + ns + " ip addr add " + m_peerAddr + "/29 dev " + peerIf) &&
                    run("ip netns exec " + ns + " ip addr add " + m_secondPeerAddr + "/29 dev " + peerIf) &&
                    run("ip netns exec " + ns + " ip addr add " + m_spareAddr + "/29 dev " + peerIf) &&
                    run("ip netns exec " + ns + " ip link set " + peerIf + " up") &&
                    run("ip netns exec " + ns + " ip link set lo up");
    if (!ok) {
        why = "could not create the test network (ip netns / veth)";
        destroy();
        return false;
    }
    return true;
}

TestNetwork::~TestNetwork()
{
    destroy();
}

void TestNetwork::destroy()
{
    for (const Child& child : m_children) {
        kill(child.pid, SIGKILL);
        waitpid(child.pid, nullptr, 0);
        close(child.out);
    }
    m_children.clear();
    if (m_created) {
        run("ip link del " + m_hostIf);
        run("ip netns del " + m_name);
        m_created = false;
    }
}

uint32_t TestNetwork::netOrder(const std::string& dotted)
{
    in_addr a{};
    inet_pton(AF_INET, dotted.c_str(), &a);
    return a.s_addr;
}

pid_t TestNetwork::spawn(const std::vector<std::string>& args)
{
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (rc != 0) {
        close(pipeFds[0]);
        return -1;
    }
    m_children.push_back({pid, pipeFds[0]});
    return pid;
}

pid_t TestNetwork::spawnInside(const std::vector<std::string>& args)
{
    std::vector<std::string> full = {"ip", "netns", "exec", m_name};
    full.insert(full.end(), args.begin(), args.end());
    const pid_t pid = spawn(full);
    if (pid > 0 && !waitForLine(pid, "ready", 5000))
        return -1;
    return pid;
}

pid_t TestNetwork::spawnHere(const std::vector<std::string>& args)
{
    return spawn(args);
}

bool TestNetwork::segmentLikeAWire()
{
    // A veth pair hands whole offload-sized packets across, with one set of headers for many
    // segments; with one segment per packet each end sees what a network card would send.
    return run("ip link set dev " + m_hostIf + " gso_max_segs 1") &&
           run("ip netns exec " + m_name + " ip link set dev " + m_name + "p gso_max_segs 1");
}

bool TestNetwork::waitForLine(pid_t pid, const std::string& line, int timeoutMs)
{
    int fd = -1;
    for (const Child& child : m_children)
        if (child.pid == pid)
            fd = child.out;
    if (fd < 0)
        return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string text;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0)
            continue;
        char c;
        if (read(fd, &c, 1) != 1)
            return false;
        if (c != '\n') {
            text += c;
            continue;
        }
        if (text == line)
            return true;
        text.clear();
    }
    return false;
}

std::string TestNetwork::readOutput(pid_t pid, int timeoutMs)
{
    int fd = -1;
    for (const Child& child : m_children)
        if (child.pid == pid)
            fd = child.out;
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (fd >= 0 && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0)
            continue;
        char buf[4096];
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        text.append(buf, size_t(n));
    }
    return text;
}

int TestNetwork::waitExit(pid_t pid, int timeoutMs)
{
    auto forget = [&] {
        for (auto it = m_children.begin(); it != m_children.end(); ++it) {
            if (it->pid == pid) {
                close(it->out);
                m_children.erase(it);
                return;
            }
        }
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            forget();
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    forget();
    return -1;
}
