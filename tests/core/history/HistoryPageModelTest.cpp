// The history page's Qt-free half: which range and step a choice means, how the bars are laid
// out against their scale, what the tables' rows say, and the window's history settings in
// user.ini. The tests run in UTC.
#include "core/history/HistoryBars.h"
#include "core/history/HistoryRows.h"
#include "core/history/HistorySettings.h"
#include "core/history/HistorySpan.h"

#include "config/ConfigStore.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

using namespace orvane;
using history::Step;

namespace {

constexpr int64_t kToday = 1765238400;                   // 2025-12-09 00:00 UTC
constexpr int64_t kNow = kToday + 16 * 3600 + 5 * 60;     // 16:05
constexpr int64_t kHour = 3600;
constexpr int64_t kDay = 86400;

history::SeriesPoint point(int64_t from, uint64_t received, uint64_t sent)
{
    history::SeriesPoint p;
    p.from = from;
    p.to = from + kHour;
    p.net.received = received;
    p.net.sent = sent;
    return p;
}

} // namespace

TEST(HistorySpan, EachChoiceHasItsRangeAndAStepThatKeepsTheBarsFew)
{
    const auto stepOf = [](HistorySpanKind kind) {
        return spanStep(chartRange(HistorySpan::of(kind), kNow));
    };
    EXPECT_EQ(stepOf(HistorySpanKind::Today), Step::Hour);
    EXPECT_EQ(stepOf(HistorySpanKind::Last7Days), Step::Hour);  // 168 bars
    EXPECT_EQ(stepOf(HistorySpanKind::Last30Days), Step::Day);
    EXPECT_EQ(stepOf(HistorySpanKind::Last12Months), Step::Month);
    const HistorySpan month = HistorySpan::monthOf(kNow);
    EXPECT_EQ(month, (HistorySpan{HistorySpanKind::Month, 2025, 12}));
    EXPECT_EQ(spanStep(chartRange(month, kNow)), Step::Day);
    EXPECT_EQ(spanRange(month, kNow), history::monthRange(2025, 12));
    EXPECT_EQ(monthText(month), "2025-12");

    // Today's tables end now; its chart has the whole day, hour by hour.
    EXPECT_EQ(spanRange(HistorySpan::of(HistorySpanKind::Today), kNow), (history::TimeRange{kToday, kNow}));
    const history::TimeRange chart = chartRange(HistorySpan::of(HistorySpanKind::Today), kNow);
    EXPECT_EQ(chart, (history::TimeRange{kToday, kToday + kDay}));
    EXPECT_EQ(history::stepBoundaries(chart, Step::Hour).size(), 25u);
    EXPECT_EQ(rangeText(chart), "2025-12-09 \u2013 2025-12-09");
    EXPECT_EQ(rangeText({kToday, kNow}), "2025-12-09 00:00 \u2013 2025-12-09 16:05");

    // A range ending now is answered to the end of its 5-minute bucket: nothing to say.
    EXPECT_FALSE(coveredDiffers({kToday, kNow}, {kToday, kNow + 100}));
    EXPECT_TRUE(coveredDiffers({kToday + 600, kNow}, {kToday, kNow}));
    EXPECT_FALSE(coveredDiffers({kToday, kNow}, {}));

    // The month arrows go back across a year and never past the month of now.
    EXPECT_EQ(stepMonth({HistorySpanKind::Month, 2025, 1}, -1, kNow), (HistorySpan{HistorySpanKind::Month, 2024, 12}));
    EXPECT_EQ(stepMonth(month, 1, kNow), month);
    EXPECT_TRUE(spanIsLive(month, kNow));
    EXPECT_FALSE(spanIsLive({HistorySpanKind::Month, 2025, 11}, kNow));
    EXPECT_TRUE(spanIsLive(HistorySpan::of(HistorySpanKind::Last30Days), kNow));
}

TEST(HistoryBars, BarsStackReceivedAndSentUnderARoundScaleAndLabelsKeepApart)
{
    EXPECT_EQ(roundScaleTop(0), 1024u);
    EXPECT_EQ(roundScaleTop(1025), 1536u);
    EXPECT_EQ(roundScaleTop(1536), 1536u);
    EXPECT_EQ(roundScaleTop(uint64_t(5) << 30), uint64_t(6) << 30);
    EXPECT_EQ(roundScaleTop(UINT64_MAX), UINT64_MAX);

    std::vector<history::SeriesPoint> points;
    for (int i = 0; i < 24; ++i)
        points.push_back(point(kToday + i * kHour, 0, 0));
    points[3] = point(kToday + 3 * kHour, 3u << 20, 1u << 20);  // 4 M: the scale's top
    points[4] = point(kToday + 4 * kHour, 1u << 20, 1u << 20);
    points[5] = point(kToday + 5 * kHour, 10, 0);               // far below a pixel
    const HistoryBarLayout layout = layoutBars(points, 480, 100, 24);
    ASSERT_EQ(layout.bars.size(), 24u);
    EXPECT_EQ(layout.scaleTop, 4u << 20);
    EXPECT_EQ(layout.bars[3].receivedHeight, 75);
    EXPECT_EQ(layout.bars[3].sentHeight, 25);
    EXPECT_EQ(layout.bars[4].receivedHeight + layout.bars[4].sentHeight, 50);
    EXPECT_EQ(layout.bars[5].receivedHeight, 1);  // any traffic shows
    EXPECT_EQ(layout.bars[6].receivedHeight + layout.bars[6].sentHeight, 0);
    int lastLabelEnd = -1000;
    for (const HistoryBar& bar : layout.bars) {
        EXPECT_GE(bar.width, 1);
        EXPECT_LE(bar.x + bar.width, 480);
        if (!bar.labelled)
            continue;
        EXPECT_GE(bar.x + bar.width / 2 - 12, lastLabelEnd);
        lastLabelEnd = bar.x + bar.width / 2 + 12;
    }
    EXPECT_TRUE(layout.bars[0].labelled);
    EXPECT_FALSE(layout.bars[1].labelled);  // 20 pixels a bar: every other one has room
    EXPECT_TRUE(layout.bars[2].labelled);

    // More bars than pixels: each one pixel wide, all inside.
    std::vector<history::SeriesPoint> many(400, point(kToday, 5, 5));
    const HistoryBarLayout narrow = layoutBars(many, 200, 50, 30);
    EXPECT_EQ(narrow.bars.back().x, 199);
    EXPECT_TRUE(layoutBars({}, 200, 50, 30).bars.empty());

    EXPECT_EQ(barLabel(kToday + 14 * kHour, Step::Hour), "14");
    EXPECT_EQ(barLabel(kToday, Step::Day), "12-09");
    EXPECT_EQ(barLabel(kToday, Step::Month), "2025-12");
}

TEST(HistoryRows, RowsShowBytesSharesAndNamesOfTheirOwnForTheFoldedRows)
{
    const HistoryTextSource texts = [](const char* key) { return std::string("<") + key + ">"; };
    std::vector<history::ProgramUsage> programs(3);
    programs[0].id = 7;
    programs[0].name = "fire\x1b" "fox";
    programs[0].path = "/usr/bin/firefox";
    programs[0].net.received = 3u << 20;
    programs[0].net.sent = 1u << 20;
    programs[0].share = 0.8;
    programs[1].id = 0;  // other programs
    programs[1].net.received = 1000;
    programs[1].share = 0.15;
    programs[2].id = 9;  // no program
    const std::vector<HistoryRow> rows = programRows(programs, texts);
    ASSERT_EQ(rows.size(), 3u);
    ASSERT_EQ(rows[0].cells.size(), historyColumns(HistoryTable::Programs).size());
    EXPECT_EQ(rows[0].cells[0].text, "fire\xEF\xBF\xBD" "fox");  // the escape shows as U+FFFD
    EXPECT_EQ(rows[0].programName, "fire\x1b" "fox");            // kept as recorded, to forget it by
    EXPECT_EQ(rows[0].programPath, "/usr/bin/firefox");
    EXPECT_EQ(rows[0].cells[1].text, "3.00 M");
    EXPECT_EQ(rows[0].cells[3].raw, double(4u << 20));
    EXPECT_EQ(rows[0].cells[4].text, "80.0%");
    EXPECT_TRUE(rows[0].named);
    EXPECT_EQ(rows[1].cells[0].text, "<history_other_programs>");
    EXPECT_FALSE(rows[1].named);
    EXPECT_EQ(rows[2].cells[0].text, "<history_no_program>");
    EXPECT_FALSE(rows[2].named);

    std::vector<history::HostUsage> hosts(2);
    hosts[0].address = 0x0A000102;
    hosts[0].dnsName = "example.test";
    hosts[0].net.sent = 2048;
    hosts[1].otherHosts = true;
    const std::vector<HistoryRow> hostTable = hostRows(hosts, texts);
    ASSERT_EQ(hostTable[0].cells.size(), historyColumns(HistoryTable::Hosts).size());
    EXPECT_EQ(hostTable[0].cells[0].text, "10.0.1.2");
    EXPECT_EQ(hostTable[0].cells[1].text, "example.test");
    EXPECT_EQ(hostTable[0].cells[4].text, "2.0 K");
    EXPECT_EQ(hostTable[0].address, 0x0A000102u);
    EXPECT_EQ(hostTable[1].cells[0].text, "<history_other_hosts>");
    EXPECT_FALSE(hostTable[1].named);
}

TEST(HistorySettings, UserIniSetsTheFileRetentionAndHostsAndBadEntriesKeepTheDefaults)
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("lvx-history-settings-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto storeWith = [&dir](const std::string& ini) {
        std::ofstream(dir / "user.ini") << ini;
        return std::make_unique<lumivex::config::ConfigStore>(dir.string() + "/", "");
    };
    auto store = storeWith("history_file=/tmp/h.sqlite\nhistory_off=1\nhistory_keep=hour=30d,day=forever\nhistory_hosts=50\n");
    HistorySettings s = HistorySettings::read(*store);
    EXPECT_EQ(s.file, "/tmp/h.sqlite");
    EXPECT_EQ(s.databasePath(), "/tmp/h.sqlite");
    EXPECT_TRUE(s.off);
    EXPECT_EQ(s.retention.seconds[1], 30 * kDay);
    EXPECT_EQ(s.retention.seconds[2], 0);
    EXPECT_EQ(s.hostsPerProgram, 50);
    EXPECT_TRUE(s.problems.empty()) << s.problems;

    store = storeWith("history_keep=hour=30\nhistory_hosts=0\n");
    s = HistorySettings::read(*store);
    EXPECT_TRUE(s.file.empty());
    EXPECT_FALSE(s.off);
    EXPECT_EQ(s.retention.seconds, history::Retention().seconds);
    EXPECT_EQ(s.hostsPerProgram, 200);
    EXPECT_NE(s.problems.find("history_keep"), std::string::npos);
    EXPECT_NE(s.problems.find("history_hosts"), std::string::npos);
    store.reset();
    std::filesystem::remove_all(dir);
}
