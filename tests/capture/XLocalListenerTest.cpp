#include <gtest/gtest.h>
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/RawSocket.h"
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <chrono>
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
bool valid(SOCKET s) { return s != INVALID_SOCKET; }
void closeSocket(SOCKET s) { ::closesocket(s); }
// Raw sockets need an administrator; making one also starts Windows Sockets.
bool mayOpenRawSockets() { return platform::RawUdpSocket().isOpen(); }
#else
using Socket = int;
bool valid(int s) { return s >= 0; }
void closeSocket(int s) { ::close(s); }
bool mayOpenRawSockets() { return geteuid() == 0; }
#endif

bool keeps(const std::vector<uint8_t>& d, int len = -1)
{
    return XLocalListener::checkDNSPacket(reinterpret_cast<const char*>(d.data()), len < 0 ? int(d.size()) : len);
}

TEST(ListenerFilter, KeepsOnlyUdpFromPort53WithACompleteHeader)
{
    const auto bare = udpDatagram("192.0.2.53", 53, "10.0.0.2", 40000, {});
    ASSERT_EQ(bare.size(), 28u);
    EXPECT_TRUE(keeps(bare));
    EXPECT_FALSE(keeps(bare, 20));
    EXPECT_FALSE(keeps(bare, 27));
    EXPECT_FALSE(keeps(udpDatagram("10.0.0.2", 40000, "192.0.2.53", 53, {})));        // a query
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

TEST(Listener, BindFailureEndsTheThreadAndIsCounted)
{
    XPacketQueueMgr queues;
    XPacketMgr packets(&queues);
    XPacketListener* l = packets.createListener(1, netAddr("240.0.0.77"));  // not a local address
    ASSERT_NE(l, nullptr);
    l->init();
    l->listen();
    l->join();
    EXPECT_EQ(l->stats().bindFailures, 1u);
    EXPECT_NE(l->stats().bindError, 0);
    EXPECT_EQ(packets.listenerStats().bindFailures, 1u);
    l->listen();  // never retried: the ended thread is not started again
    l->join();
    EXPECT_EQ(packets.findListener(netAddr("240.0.0.77")), l);
}

TEST(Listener, QueuesDnsAnswersOnLoopbackPausesAndEndsPromptly)
{
    if (!mayOpenRawSockets())
        GTEST_SKIP() << "raw sockets need root";
    const Socket sender = ::socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_TRUE(valid(sender));
    sockaddr_in from{};
    from.sin_family = AF_INET;
    from.sin_port = htons(53);
    from.sin_addr.s_addr = kLoopbackNetOrder;
    if (::bind(sender, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0) {
        closeSocket(sender);
        GTEST_SKIP() << "127.0.0.1:53 is in use";
    }
    sockaddr_in to = from;
    to.sin_port = htons(40999);
    const auto send = [&] {
        const char answer[12] = {0x12, 0x34, char(0x81), char(0x80)};
        ::sendto(sender, answer, sizeof answer, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    };

    XPacketQueueMgr queues;
    XPacketMgr packets(&queues);
    XPacketListener* l = packets.createListener(7, kLoopbackNetOrder);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(packets.createListener(1, kLoopbackNetOrder), l);
    l->init();
    XPacketQueue* q = queues.getQueue(kLoopbackNetOrder);
    ASSERT_NE(q, nullptr);
    l->listen();

    EXPECT_TRUE(eventually([&] {
        send();
        return q->getCounter() > 0;
    }));
    EXPECT_TRUE(l->getStatus());
    char buf[2048];
    ASSERT_EQ(q->pop(buf, sizeof buf), 40);  // IP and UDP headers included
    EXPECT_EQ(buf[9], 17);

    l->stop();
    l->listen();  // resumes the same thread
    EXPECT_TRUE(eventually([&] {
        send();
        return q->getCounter() > 0;
    }));

    packets.close();  // asks the thread to end and joins it, with no traffic to wake it
    EXPECT_EQ(packets.findListener(kLoopbackNetOrder), nullptr);
    EXPECT_EQ(l->stats().bindFailures, 0u);
    closeSocket(sender);
}

} // namespace
