#include <gtest/gtest.h>
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/RawSocket.h"
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "DnsMessageBuilder.h"
#include "capture/XLocalListener.h"
#include "capture/XPacketMgr.h"
#include "capture/XPacketQueueMgr.h"
#include "hostinfo/NetIoRecord.h"

namespace {

#ifdef _WIN32
using Socket = SOCKET;
void closeSocket(SOCKET s)
{
    ::closesocket(s);
}
// Raw sockets need an administrator; making one also starts Windows Sockets.
bool mayOpenRawSockets()
{
    return platform::RawDnsSocket().isOpen();
}
#else
using Socket = int;
void closeSocket(int s)
{
    ::close(s);
}
bool mayOpenRawSockets()
{
    return geteuid() == 0;
}
#endif

bool keeps(const std::vector<uint8_t>& d, int len = -1, bool outgoing = false)
{
    return XLocalListener::checkDNSPacket(reinterpret_cast<const char*>(d.data()), len < 0 ? int(d.size()) : len,
                                          outgoing);
}

TEST(ListenerFilter, KeepsAnswersReceivedAndQueriesSentWithACompleteHeader)
{
    const auto bare = udpDatagram("192.0.2.53", 53, "10.0.0.2", 40000, {});
    ASSERT_EQ(bare.size(), 28u);
    EXPECT_TRUE(keeps(bare));
    EXPECT_FALSE(keeps(bare, 20));
    EXPECT_FALSE(keeps(bare, 27));
    const auto query = udpDatagram("10.0.0.2", 40000, "192.0.2.53", 53, {});
    EXPECT_FALSE(keeps(query));                  // a query received: this host is no server
    EXPECT_TRUE(keeps(query, -1, true));         // a query sent
    EXPECT_FALSE(keeps(bare, -1, true));         // an answer sent
    EXPECT_FALSE(keeps(udpDatagram("192.0.2.53", 53, "10.0.0.2", 40000, {}, 0, -1, 6)));  // TCP
    EXPECT_TRUE(keeps(udpDatagram("192.0.2.53", 53, "10.0.0.2", 40000, {}, 1)));        // 24-byte header
    EXPECT_FALSE(keeps(udpDatagram("192.0.2.53", 40000, "10.0.0.2", 53, {}, 1)));
    EXPECT_FALSE(XLocalListener::checkDNSPacket(nullptr, 100));
}

// Waits for a condition the listener thread brings about, at most five seconds.
template <class F>
bool eventually(F condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

#ifndef _WIN32
// Windows gives a process no way to drop its administrator rights: there this is not tried.

// Runs the listener where its raw socket cannot be had: as root, in a child that gave up
// root; returns whether the failure was counted and the thread ended.
bool failureCountedWithoutPrivileges()
{
    XPacketQueueMgr queues;
    XPacketMgr packets(&queues);
    if (packets.createListener() != 1)
        return false;
    XPacketListener* l = packets.findListener(XLocalListener::kEveryAddress);
    l->join();
    const bool counted = l->stats().bindFailures == 1 && l->stats().bindError != 0 &&
                         packets.listenerStats().bindFailures == 1;
    l->listen();  // never retried: the ended thread is not started again
    l->join();
    return counted && packets.findListener(XLocalListener::kEveryAddress) == l && packets.createListener() == 0;
}

TEST(Listener, SocketFailureEndsTheThreadAndIsCounted)
{
    if (geteuid() != 0) {
        EXPECT_TRUE(failureCountedWithoutPrivileges());
        return;
    }
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        _exit(setuid(65534) == 0 && failureCountedWithoutPrivileges() ? 0 : 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
#endif

// A datagram from port `from` to port `to` on 127.0.0.1, sent by a socket bound to `from`.
class LoopbackSender {
public:
    explicit LoopbackSender(uint16_t from) : m_fd(::socket(AF_INET, SOCK_DGRAM, 0))
    {
        sockaddr_in a = endpoint(from);
        m_bound = m_fd != Socket(-1) && ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~LoopbackSender() { closeSocket(m_fd); }
    bool bound() const { return m_bound; }
    void send(uint16_t to, const std::vector<uint8_t>& payload)
    {
        const sockaddr_in a = endpoint(to);
        ::sendto(m_fd, reinterpret_cast<const char*>(payload.data()), int(payload.size()), 0,
                 reinterpret_cast<const sockaddr*>(&a), sizeof a);
    }

private:
    static sockaddr_in endpoint(uint16_t port)
    {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = kLoopbackNetOrder;
        return a;
    }
    Socket m_fd;
    bool m_bound = false;
};

// Takes the queue's datagrams until one goes between the two ports; its direction, or -1.
int directionOf(XPacketQueue* q, uint16_t sourcePort, uint16_t destinationPort)
{
    char buf[2048];
    int direction = -1;
    for (int n; (n = q->pop(buf, sizeof buf, &direction)) >= 0;) {
        const int h = (buf[0] & 0x0F) * 4;
        uint16_t ports[2];
        std::memcpy(ports, buf + h, 4);
        if (n >= h + 8 && buf[9] == 17 && ntohs(ports[0]) == sourcePort && ntohs(ports[1]) == destinationPort)
            return direction;
    }
    return -1;
}

TEST(Listener, QueuesQueriesSentAndAnswersReceivedPausesAndEndsPromptly)
{
    if (!mayOpenRawSockets())
        GTEST_SKIP() << "raw sockets need root";
    LoopbackSender server(53);
    if (!server.bound())
        GTEST_SKIP() << "127.0.0.1:53 is in use";
    LoopbackSender client(40999);
    ASSERT_TRUE(client.bound());
    const std::vector<uint8_t> message = {0x12, 0x34, 0x81, 0x80, 0, 0, 0, 0, 0, 0, 0, 0};

    XPacketQueueMgr queues;
    XPacketMgr packets(&queues);
    ASSERT_EQ(packets.createListener(), 1);
    XPacketListener* l = packets.findListener(XLocalListener::kEveryAddress);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(packets.createListener(7, XLocalListener::kEveryAddress), l);
    EXPECT_EQ(packets.listenerCount(), 1);
    XPacketQueue* q = queues.getQueue(XLocalListener::kEveryAddress);
    ASSERT_NE(q, nullptr);

    // Loopback shows every datagram twice, as sent and as received: the listener keeps the
    // query as sent and the answer as received.
    int query = -1, answer = -1;
    EXPECT_TRUE(eventually([&] {
        client.send(53, message);
        server.send(40999, message);
        query = std::max(query, directionOf(q, 40999, 53));
        answer = std::max(answer, directionOf(q, 53, 40999));
        return query >= 0 && answer >= 0;
    }));
    EXPECT_EQ(query, kNetIoSend);
    EXPECT_EQ(answer, kNetIoReceive);
    EXPECT_TRUE(l->getStatus());

    l->stop();
    l->listen();  // resumes the same thread
    EXPECT_TRUE(eventually([&] {
        server.send(40999, message);
        return directionOf(q, 53, 40999) == kNetIoReceive;
    }));

    const auto closing = std::chrono::steady_clock::now();
    packets.close();  // asks the thread to end and joins it, with no traffic to wake it
    EXPECT_LT(std::chrono::steady_clock::now() - closing, std::chrono::seconds(1));
    EXPECT_EQ(packets.findListener(XLocalListener::kEveryAddress), nullptr);
    EXPECT_EQ(l->stats().bindFailures, 0u);
}

} // namespace
