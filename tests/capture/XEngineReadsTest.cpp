#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#endif
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "TestProcessInfo.h"
#include "capengine/XEngine.h"
#include "capture/XDNSRecord.h"
#include "capture/XPacketCounter.h"
#include "capture/XParserResultMgr.h"

namespace {

constexpr uint16_t kPort443 = 0xBB01;  // 443 in network order

// An engine made from components: a registry whose "tcp" counter is filled through its own count()
// with a clock the test moves.
class EngineReadsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto* tcp = new XPacketCounter(0, 0);
        tcp->init(processes.get(), nullptr);
        tcp->setClock([this] { return now; });
        ASSERT_TRUE(registry.addResult("tcp", tcp));
        m_tcp = tcp;
        XEngine::Components components;
        components.results = &registry;
        components.dns = &dns;
        components.processInfo = processes.get();
        components.clock = [this] { return now; };
        components.processName = [](uint32_t pid) { return "prog" + std::to_string(pid); };
        components.processPath = [](uint32_t) { return std::string(); };
        engine = std::make_unique<XEngine>(components);
    }

    uint32_t now = 5000;
    std::unique_ptr<XPCProcessInfo> processes = makeProcessInfo({{1234, "/usr/bin/curl"}});
    XParserResultMgr registry;
    XDNSRecord dns{""};
    XPacketCounter* m_tcp = nullptr;
    std::unique_ptr<XEngine> engine;
};

TEST_F(EngineReadsTest, RowsAreFinishedCopiesAndLastActivityMoves)
{
    m_tcp->count(0x0A000002, kPort443, 0, 100, 1, 1234);
    m_tcp->count(0x0A000001, kPort443, 0, 60, 0, 0);
    dns.addRecord(0x0A000002, "example.org", 11);

    std::vector<XTrafficRow> rows;
    ASSERT_EQ(engine->snapshot(kTrafficTcp, rows), 2);
    EXPECT_EQ(rows[0].address, 0x0A000001u);  // ascending address
    EXPECT_EQ(rows[1].remotePort, 443);        // host order
    EXPECT_EQ(rows[1].dnsName, "example.org");
    EXPECT_EQ(rows[1].program, "curl");
    EXPECT_EQ(rows[1].bytes[1], 100);
    EXPECT_EQ(rows[1].lastUpdate, 5000u);

    now = 7500;
    m_tcp->count(0x0A000002, kPort443, 0, 40, 0, 1234);
    XTrafficRow row;
    ASSERT_TRUE(engine->row(kTrafficTcp, 0x0A000002, row));
    EXPECT_EQ(row.lastUpdate, 7500u);
    EXPECT_EQ(row.bytes[0], 40);
    EXPECT_EQ(rows[1].bytes[0], 0);  // the earlier copy did not change
    EXPECT_FALSE(engine->row(kTrafficTcp, 0x0A000009, row));
    EXPECT_FALSE(engine->row(kTrafficUdp, 0x0A000002, row));

    std::vector<XAddressStamp> stamps;
    ASSERT_EQ(engine->addresses(kTrafficTcp, stamps), 2);
    EXPECT_EQ(stamps[1].lastUpdate, 7500u);

    const XTrafficTotals totals = engine->totals(kTrafficTcp);
    EXPECT_TRUE(totals.exists);
    EXPECT_EQ(totals.bytes[0], 100);
    EXPECT_EQ(totals.bytes[1], 100);
    EXPECT_EQ(totals.addresses, 2u);
    EXPECT_FALSE(engine->totals(kTrafficUdp).exists);

    std::vector<XRankedItem> ranked;
    ASSERT_EQ(engine->rankedItems(kTrafficTcp, XRankMeasure::Bytes, 100, 10, ranked), 1);
    EXPECT_EQ(ranked[0].address, 0x0A000002u);
    EXPECT_EQ(engine->dnsName(0x0A000002), "example.org");

    engine->clear(kTrafficTcp);
    EXPECT_EQ(engine->snapshot(kTrafficTcp, rows), 0);
    EXPECT_FALSE(engine->start());  // made from components
}

TEST_F(EngineReadsTest, SampleKeepsRunTotalsAndTheLastInterval)
{
    ORVANEPRO_NetIo io{};
    io.processId = 1234;
    io.protocol = kNetIoUdp;
    io.remoteAddr = 0x0100000A;
    io.direction = kNetIoSend;
    io.bytesSent = 300;
    processes->addNetData(io);
    engine->sample(1000);
    io.direction = kNetIoReceive;
    io.bytesSent = 0;
    io.bytesReceived = 50;
    processes->addNetData(io);
    engine->sample(2000);

    XProcessTotals totals = engine->processTotals();
    ASSERT_EQ(totals.rows.size(), 1u);
    EXPECT_EQ(totals.rows[0].name, "prog1234");
    EXPECT_EQ(totals.rows[0].sent, 300u);
    EXPECT_EQ(totals.rows[0].received, 50u);
    EXPECT_EQ(totals.rows[0].lastReceived, 50u);
    EXPECT_EQ(totals.rows[0].lastSent, 0u);
    EXPECT_EQ(totals.intervalMs, 1000u);
    EXPECT_EQ(totals.netReports, 1);

    engine->sample(3000);  // a quiet second: the run totals stay, the interval is empty
    totals = engine->processTotals();
    EXPECT_EQ(totals.rows[0].sent, 300u);
    EXPECT_EQ(totals.rows[0].lastReceived, 0u);
    EXPECT_EQ(totals.netReports, 0);
}

TEST_F(EngineReadsTest, TheLedgerSplitsASharedAddressByProgramAndAgreesWithEveryTotal)
{
    // What the parser does with each event: attribute it, then count it for its address.
    const auto event = [this](uint32_t pid, uint32_t address, uint16_t direction, uint32_t bytes) {
        ORVANEPRO_NetIo io{};
        io.processId = pid;
        io.protocol = kNetIoTcp;
        io.remoteAddr = htonl(address);
        io.remotePort = kPort443;
        io.direction = direction;
        (direction == kNetIoSend ? io.bytesSent : io.bytesReceived) = bytes;
        const uint32_t used = processes->addNetData(io);
        m_tcp->count(address, kPort443, 0, int(bytes), direction, used);
    };
    XLedger ledger;
    EXPECT_FALSE(engine->takeLedger(ledger));  // the first call starts the ledger
    dns.addRecord(0x0A000002, "example.org", 11);
    event(1234, 0x0A000002, kNetIoSend, 300);
    event(77, 0x0A000002, kNetIoReceive, 900);  // the address's record is curl's; these are 77's
    event(0, 0x0A000003, kNetIoReceive, 40);     // nobody's
    engine->sample(1000);
    event(1234, 0x0A000002, kNetIoReceive, 5);
    engine->sample(2000);
    now = 7000;
    ASSERT_TRUE(engine->takeLedger(ledger));
    EXPECT_EQ(ledger.spanMs, 2000u);
    EXPECT_GE(ledger.wallEndMs, ledger.wallStartMs);

    std::map<std::string, uint64_t> byProgram;
    uint64_t ledgerBytes = 0;
    for (const XLedgerRow& row : ledger.rows) {
        byProgram[row.program] += row.bytes[0] + row.bytes[1];
        ledgerBytes += row.bytes[0] + row.bytes[1];
        EXPECT_EQ(row.protocol, 6);
        EXPECT_EQ(row.remotePortClass, 443);
        if (row.remoteAddress == 0x0A000002) {
            EXPECT_EQ(row.dnsName, "example.org");
        }
    }
    EXPECT_EQ(byProgram["prog1234"], 305u);
    EXPECT_EQ(byProgram["prog77"], 900u);
    EXPECT_EQ(byProgram[""], 40u);

    // The same bytes in the per-address rows, and in the per-program totals with the unowned.
    std::vector<XTrafficRow> rows;
    engine->snapshot(kTrafficTcp, rows);
    double rowBytes = 0;
    for (const XTrafficRow& r : rows)
        rowBytes += r.bytes[0] + r.bytes[1];
    const XProcessTotals totals = engine->processTotals();
    uint64_t programBytes = totals.unownedReceived + totals.unownedSent;
    for (const XProcessRow& r : totals.rows)
        programBytes += r.received + r.sent;
    EXPECT_EQ(ledgerBytes, 1245u);
    EXPECT_EQ(rowBytes, double(ledgerBytes));
    EXPECT_EQ(programBytes, ledgerBytes);

    ASSERT_TRUE(engine->takeLedger(ledger));
    EXPECT_TRUE(ledger.rows.empty());  // handed out once
}

} // namespace
