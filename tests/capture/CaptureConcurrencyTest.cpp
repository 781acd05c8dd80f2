#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#endif
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "DnsMessageBuilder.h"
#include "TestProcessInfo.h"
#include "capture/XChatPrograms.h"
#include "capture/XDNSRecord.h"
#include "capture/XIPCounter.h"
#include "capture/XPacketBaseParser.h"
#include "capture/XPacketCounter.h"
#include "capture/XPacketMgr.h"
#include "capture/XPacketQueueMgr.h"
#include "capture/XParserResultMgr.h"
#include "capture/XParserWorker.h"
#include "hostinfo/XNetIoRing.h"

namespace {

// Everything a reader (the GUI) may do while the parser thread counts.
void readEverything(XParserResultMgr& registry, XDNSRecord& dns, bool clearNow)
{
    static thread_local std::vector<unsigned long> ips(4096), ticks(4096);
    static thread_local std::vector<_X_PACKETCOUNTER_ITEMDATA> items(4096);
    static thread_local std::vector<_X_R_PACKETCOUNTER*> records(4096);
    for (const char* name : {"tcp", "udp", "other"}) {
        XParserResult* r = registry.getResult(name);
        if (!r)
            continue;
        const int n = r->getIPs(ips.data(), ticks.data(), 0, 4096);
        for (int i = 0; i < n; ++i) {
            _X_R_PACKETCOUNTER copy{};
            r->getIPdata(ips[size_t(i)], copy);
            char buf[128];
            dns.getDNSName(ips[size_t(i)], buf, sizeof buf);
        }
        r->getItemIPs(3, items.data(), 1023.0, 4096);
        _X_PACKETCOUNTER_STATDATA stat{};
        r->getStatData(stat);
        r->getTotalBytes(2);
        r->getTotalPackets(0);
        r->size();
        const int c = static_cast<XRecordCounter*>(r)->getCounters(records.data(), 4096);
        unsigned long sum = 0;
        for (int i = 0; i < c; ++i)
            sum += records[size_t(i)]->address;  // the address of a record never changes
        (void)sum;
        if (clearNow)
            r->clear();
    }
    dns.size();
    dns.hasDNSName(1);
    registry.size();
}

TEST(CaptureConcurrency, ReadersAndClearRunSafelyWhileTheParserThreadCounts)
{
    XIPCounter::clearICQProcessNames();
    registerChatPrograms();
    auto processes = makeProcessInfo({{77, "/opt/QQ/qq"}});
    XParserResultMgr registry;
    XDNSRecord dns("");
    XPacketQueueMgr queues;
    XPacketMgr packets(&queues);
    XNetIoRing ring;
    XPacketQueue* queue = queues.createQueue(netAddr("10.0.0.2"));

    auto* parser = new XPacketBaseParser;
    parser->init(&registry, &dns, processes.get());
    packets.addParser(parser);
    XParserWorker worker;
    worker.init(&packets, &queues, &ring);
    worker.start();

    std::atomic<bool> done{false};
    std::thread reader([&] {
        for (int round = 0; !done.load(); ++round)
            readEverything(registry, dns, round % 7 == 6);
    });
    std::thread listener([&] {
        for (uint32_t i = 0; !done.load(); ++i) {
            DnsMessageBuilder b;
            const int q = b.question("peer.example");
            b.answerAt(q, 1, DnsMessageBuilder::a(198, 51, uint8_t(i >> 8), uint8_t(i)));
            const auto d = udpDatagram("192.0.2.53", 53, "10.0.0.2", 40000, b.message());
            queue->push(reinterpret_cast<const char*>(d.data()), int(d.size()));
        }
    });

    // This thread writes the ring, as the kernel trace does.
    constexpr int kEvents = 200000;
    int pushed = 0;
    for (int i = 0; i < kEvents; ++i) {
        const uint32_t remote = htonl(0xCB000000u + uint32_t(i % 3000));
        const uint16_t protocol = (i & 1) ? kNetIoTcp : kNetIoUdp;
        if (ring.pushNetIo(i % 3 ? 77 : 0, 100, uint16_t(i & 2 ? 1 : 0), protocol, remote, 0x5000, 0))
            ++pushed;
    }
    while (ring.pending() > 0)
        std::this_thread::yield();
    done.store(true);
    listener.join();
    reader.join();
    worker.stop();
    worker.join();
    packets.close();

    EXPECT_GT(pushed, 0);
    EXPECT_EQ(worker.exceptions(), 0u);
    EXPECT_NE(registry.getResult("tcp"), nullptr);
    EXPECT_NE(registry.getResult("udp"), nullptr);
    XIPCounter::clearICQProcessNames();
}

} // namespace
