#include "hostinfo/XProcessRunTotals.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

// Processes by pid: their name and start time (0: no process has the pid).
struct FakeProcesses {
    std::map<uint32_t, std::pair<std::string, uint64_t>> byPid;

    XProcessRunTotals totals()
    {
        return XProcessRunTotals(
            [this](uint32_t pid) { return byPid.count(pid) ? byPid[pid].first : std::string(); },
            [](uint32_t) { return std::string(); },
            [this](uint32_t pid) { return byPid.count(pid) ? byPid[pid].second : uint64_t(0); });
    }
};

const XProcessRow* find(const XProcessTotals& t, const std::string& name, bool ended)
{
    for (const XProcessRow& row : t.rows)
        if (row.name == name && row.ended == ended)
            return &row;
    return nullptr;
}

void idle(XProcessRunTotals& totals, int samples)
{
    for (int i = 0; i < samples; ++i)
        totals.add(nullptr, 0, nullptr, 0, 1000);
}

TEST(XProcessRunTotals, AReusedPidIsANewProcessAndTheOldOnesTotalsStayWithItsProgram)
{
    FakeProcesses system;
    system.byPid[700] = {"curl", 5000};
    XProcessRunTotals totals = system.totals();
    const IoTriple first{700, 100, 40, 2, 1};
    totals.add(&first, 1, nullptr, 0, 1000);

    system.byPid[700] = {"sshd", 9000};  // curl ended, the pid went to another program
    const IoTriple second{700, 7, 3, 1, 1};
    totals.add(&second, 1, nullptr, 0, 1000);

    const XProcessTotals t = totals.read();
    const XProcessRow* live = find(t, "sshd", false);
    ASSERT_NE(live, nullptr);
    EXPECT_EQ(live->pid, 700u);
    EXPECT_EQ(live->started, 9000u);
    EXPECT_EQ(live->received, 7u);
    const XProcessRow* curl = find(t, "curl", true);
    ASSERT_NE(curl, nullptr);
    EXPECT_EQ(curl->received, 100u);
    EXPECT_EQ(curl->sent, 40u);
    EXPECT_EQ(curl->packetsReceived, 2u);
    EXPECT_EQ(curl->packetsSent, 1u);
    EXPECT_EQ(live->packetsReceived, 1u);
    EXPECT_EQ(curl->lastReceived, 0u);
    EXPECT_EQ(find(t, "curl", false), nullptr);
    EXPECT_EQ(t.rows.size(), 2u);
}

TEST(XProcessRunTotals, EndedProcessesAreFoldedPerProgramOnceIdleAndTheTableStaysBounded)
{
    FakeProcesses system;
    XProcessRunTotals totals = system.totals();
    // Three short-lived "make" processes, each gone right after its bytes.
    for (uint32_t pid = 10; pid < 13; ++pid) {
        system.byPid[pid] = {"make", 100 + pid};
        const IoTriple io{pid, 0, 0};
        const IoTriple disk{pid, 1000, 500};
        totals.add(&io, 0, &disk, 1, 1000);
        system.byPid.erase(pid);
    }
    system.byPid[50] = {"daemon", 7};
    const IoTriple daemon{50, 0, 0};
    const IoTriple daemonDisk{50, 1, 1};
    totals.add(&daemon, 0, &daemonDisk, 1, 1000);
    idle(totals, int(XProcessRunTotals::kSweepSamples));

    XProcessTotals t = totals.read();
    const XProcessRow* make = find(t, "make", true);
    ASSERT_NE(make, nullptr);
    EXPECT_EQ(make->read, 3000u);
    EXPECT_EQ(make->written, 1500u);
    EXPECT_EQ(make->pid, 12u);
    ASSERT_NE(find(t, "daemon", false), nullptr);  // still running: still its own row
    EXPECT_EQ(t.rows.size(), 2u);

    // However many processes come and go, the live rows stay bounded and no byte is lost.
    const uint32_t many = uint32_t(XProcessRunTotals::kMaxProcesses) + 100;
    for (uint32_t pid = 1000; pid < 1000 + many; ++pid) {
        system.byPid[pid] = {"job" + std::to_string(pid % 2000), 1};
        const IoTriple io{pid, 1, 0};
        totals.add(&io, 1, nullptr, 0, 1000);
    }
    t = totals.read();
    size_t live = 0;
    uint64_t received = 0;
    for (const XProcessRow& row : t.rows) {
        live += !row.ended;
        received += row.received;
    }
    EXPECT_LE(live, XProcessRunTotals::kMaxProcesses);
    EXPECT_LE(t.rows.size() - live, XProcessRunTotals::kMaxEndedPrograms + 1);
    EXPECT_EQ(received, many);
}

} // namespace
