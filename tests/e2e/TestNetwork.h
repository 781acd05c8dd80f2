#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

// A test host: a network namespace joined to ours by a veth pair, addressed in 10.x. Everything
// it made (the namespace, the link, the processes it spawned) goes when it is destroyed.
// Needs root; create() says why it could not be made.
class TestNetwork {
public:
    TestNetwork() = default;
    ~TestNetwork();
    TestNetwork(const TestNetwork&) = delete;
    TestNetwork& operator=(const TestNetwork&) = delete;

    bool create(std::string& why);
    // Makes both ends send one TCP segment per packet, as a network card does; false when
    // the system would not.
    bool segmentLikeAWire();

    const std::string& hostAddr() const { return m_hostAddr; }  // our end
    const std::string& peerAddr() const { return m_peerAddr; }  // the namespace's end
    const std::string& secondPeerAddr() const { return m_secondPeerAddr; }  // another address there
    const std::string& spareAddr() const { return m_spareAddr; }            // for warm-up traffic
    uint32_t peerAddrNetOrder() const { return netOrder(m_peerAddr); }
    static uint32_t netOrder(const std::string& dotted);
    const std::string& name() const { return m_name; }
    const std::string& hostInterface() const { return m_hostIf; }  // our end of the veth pair

    // Starts a program inside the namespace and waits (up to 5 s) for it to print "ready".
    pid_t spawnInside(const std::vector<std::string>& args);
    // Starts a program here; its standard output can be awaited with waitForLine.
    pid_t spawnHere(const std::vector<std::string>& args);
    // Waits for a spawned process to exit; its exit status, or -1 on timeout (then it is killed).
    int waitExit(pid_t pid, int timeoutMs);
    // Reads the spawned process's standard output until a line equal to line (up to timeoutMs).
    bool waitForLine(pid_t pid, const std::string& line, int timeoutMs);
    // Reads the spawned process's standard output until it closes (up to timeoutMs).
    std::string readOutput(pid_t pid, int timeoutMs);

private:
    pid_t spawn(const std::vector<std::string>& argv);
    void destroy();

    std::string m_name;
    std::string m_hostIf;
    std::string m_hostAddr;
    std::string m_peerAddr;
    std::string m_secondPeerAddr;
    std::string m_spareAddr;
    bool m_created = false;
    struct Child {
        pid_t pid;
        int out;
    };
    std::vector<Child> m_children;
};

// Path of the e2e_peer helper program.
std::string peerProgram();

// Polls pred every 20 ms until it holds or timeoutMs passed; its last answer.
template <typename Pred>
bool waitFor(Pred pred, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (pred())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return pred();
}
