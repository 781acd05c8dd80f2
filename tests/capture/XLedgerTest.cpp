// The bounds of the per-(process, host) counts and of the engine's ledger between two
// hand-outs: beyond them hosts and programs are folded together, never a byte dropped.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture/XLedgerBook.h"
#include "capture/XNetPairTable.h"

namespace {

TEST(XNetPairTable, BeyondTheBoundHostsFoldPerProcessThenProcessesFoldTogether)
{
    XNetPairTable table;
    const uint32_t hosts = uint32_t(XNetPairTable::kMaxPairs);
    for (uint32_t h = 0; h < hosts; ++h)
        EXPECT_EQ(table.add(7, 0x0B000000 + h, 6, 443, 0, 10, 1), XNetPairTable::Fold::None);
    // A host seen before still counts on its own; a new one goes to its process's fold entry.
    EXPECT_EQ(table.add(7, 0x0B000000, 6, 443, 1, 5, 1), XNetPairTable::Fold::None);
    EXPECT_EQ(table.add(7, 0x0C000000, 6, 443, 0, 10, 1), XNetPairTable::Fold::Host);
    EXPECT_EQ(table.add(7, 0x0C000001, 6, 443, 0, 10, 1), XNetPairTable::Fold::Host);
    // Once the fold entries (7's and these) reach their own bound, new processes share the
    // entry of pid 0.
    for (uint32_t pid = 100; pid < 100 + XNetPairTable::kMaxFolds - 1; ++pid)
        table.add(pid, 0x0D000000, 17, 53, 1, 1, 1);
    EXPECT_EQ(table.add(99999, 0x0D000000, 17, 53, 1, 4, 1), XNetPairTable::Fold::Process);

    std::vector<XNetPair> out;
    table.drain(out);
    uint64_t bytes = 0;
    const XNetPair* sevenFolded = nullptr;
    const XNetPair* nobody = nullptr;
    for (const XNetPair& p : out) {
        bytes += p.bytes[0] + p.bytes[1];
        if (p.pid == 7 && p.remoteAddress == 0)
            sevenFolded = &p;
        if (p.pid == 0)
            nobody = &p;
    }
    EXPECT_EQ(bytes, uint64_t(hosts) * 10 + 5 + 20 + (XNetPairTable::kMaxFolds - 1) + 4);
    ASSERT_NE(sevenFolded, nullptr);
    EXPECT_EQ(sevenFolded->bytes[0], 20u);
    EXPECT_EQ(sevenFolded->portClass, 0);
    ASSERT_NE(nobody, nullptr);
    EXPECT_EQ(nobody->bytes[1], 4u);
    EXPECT_EQ(nobody->protocol, 17);

    table.drain(out);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(table.add(7, 0x0C000000, 6, 443, 0, 1, 1), XNetPairTable::Fold::None);  // a new interval
}

XNetPair pair(uint32_t pid, uint32_t address, uint64_t sent)
{
    XNetPair p;
    p.pid = pid;
    p.remoteAddress = address;
    p.protocol = 6;
    p.portClass = 443;
    p.bytes[1] = sent;
    p.packets[1] = 1;
    return p;
}

TEST(XLedgerBook, KeepsNothingBeforeTheFirstTakeThenSumsIntervalsPerProgram)
{
    XLedgerBook book;
    const auto programOf = [](uint32_t pid) {
        // Two processes of one program; a third without a name.
        if (pid == 3)
            return XProcessRunTotals::Program{};
        return XProcessRunTotals::Program{"curl", "/usr/bin/curl"};
    };
    EXPECT_EQ(book.add({pair(1, 0x0A000001, 100)}, {}, programOf), 0u);
    XLedger out;
    EXPECT_FALSE(book.take(out, 1000, 10));  // starts the keeping: the earlier interval is not in it
    EXPECT_TRUE(out.rows.empty());

    book.add({pair(1, 0x0A000001, 100), pair(2, 0x0A000001, 50), pair(0, 0x0A000002, 7)},
             {IoTriple{1, 4096, 0}, IoTriple{2, 0, 8192}}, programOf);
    book.add({pair(1, 0x0A000001, 1), pair(3, 0x0A000003, 2)}, {}, programOf);
    ASSERT_TRUE(book.take(out, 3000, 2010));
    EXPECT_EQ(out.wallStartMs, 1000u);
    EXPECT_EQ(out.wallEndMs, 3000u);
    EXPECT_EQ(out.spanMs, 2000u);
    ASSERT_EQ(out.rows.size(), 3u);  // curl's two processes are one row
    for (const XLedgerRow& row : out.rows) {
        if (row.remoteAddress == 0x0A000001) {
            EXPECT_EQ(row.program, "curl");
            EXPECT_EQ(row.path, "/usr/bin/curl");
            EXPECT_EQ(row.bytes[1], 151u);
            EXPECT_EQ(row.packets[1], 3u);
            EXPECT_EQ(row.protocol, 6);
            EXPECT_EQ(row.remotePortClass, 443);
        } else {
            EXPECT_TRUE(row.program.empty());  // pid 0, and the process with no name
        }
    }
    ASSERT_EQ(out.disk.size(), 1u);
    EXPECT_EQ(out.disk[0].read, 4096u);
    EXPECT_EQ(out.disk[0].written, 8192u);

    ASSERT_TRUE(book.take(out, 4000, 3010));
    EXPECT_TRUE(out.rows.empty());
    EXPECT_EQ(out.spanMs, 1000u);
}

TEST(XLedgerBook, RowsAndProgramsBeyondTheBoundAreFoldedWithTheirBytes)
{
    XLedgerBook book;
    XLedger out;
    book.take(out, 0, 0);
    const auto programOf = [](uint32_t pid) {
        return XProcessRunTotals::Program{"p" + std::to_string(pid), ""};
    };
    std::vector<XNetPair> pairs;
    for (uint32_t h = 0; h < XLedgerBook::kMaxRows + 3; ++h)
        pairs.push_back(pair(1, 0x0B000000 + h, 1));
    for (uint32_t pid = 2; pid < 2 + XLedgerBook::kMaxPrograms; ++pid)
        pairs.push_back(pair(pid, 0x0A000001, 1));
    const uint64_t folded = book.add(pairs, {}, programOf);
    EXPECT_GT(folded, 0u);
    ASSERT_TRUE(book.take(out, 1, 1));
    uint64_t bytes = 0;
    bool hostsFolded = false, programsFolded = false;
    for (const XLedgerRow& row : out.rows) {
        bytes += row.bytes[1];
        hostsFolded |= row.program == "p1" && row.remoteAddress == 0;
        programsFolded |= row.program.empty();
    }
    EXPECT_EQ(bytes, pairs.size());
    EXPECT_TRUE(hostsFolded);
    EXPECT_TRUE(programsFolded);
    EXPECT_LE(out.rows.size(), XLedgerBook::kMaxRows + XLedgerBook::kMaxPrograms + 2);
}

} // namespace
