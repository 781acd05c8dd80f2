#include "core/history/HistorySpan.h"

#include "core/WallClock.h"

#include <algorithm>
#include <cstdio>

namespace orvane {

namespace {

history::Preset presetOf(HistorySpanKind kind)
{
    switch (kind) {
    case HistorySpanKind::Last7Days: return history::Preset::Last7Days;
    case HistorySpanKind::Last30Days: return history::Preset::Last30Days;
    case HistorySpanKind::Last12Months: return history::Preset::Last12Months;
    case HistorySpanKind::Today:
    case HistorySpanKind::Month: break;
    }
    return history::Preset::Today;
}

} // namespace

HistorySpan HistorySpan::monthOf(int64_t now)
{
    const LocalTime local = WallClock::localTimeOfEpoch(now * 1000);
    return {HistorySpanKind::Month, local.year, local.month};
}

history::TimeRange spanRange(const HistorySpan& span, int64_t now)
{
    if (span.kind == HistorySpanKind::Month)
        return history::monthRange(span.year, span.month);
    return history::presetRange(presetOf(span.kind), now);
}

history::TimeRange chartRange(const HistorySpan& span, int64_t now)
{
    history::TimeRange range = spanRange(span, now);
    if (span.kind == HistorySpanKind::Today) {
        // Today's chart has every hour of the day, those still to come empty.
        const std::vector<int64_t> days = history::stepBoundaries({range.from, range.from + 30 * 3600}, history::Step::Day);
        if (days.size() > 2)
            range.to = days[1];
    }
    return range;
}

history::Step spanStep(const history::TimeRange& range)
{
    for (history::Step step : {history::Step::Hour, history::Step::Day}) {
        // The boundaries close with the range's end: one more than the points.
        if (history::stepBoundaries(range, step).size() <= size_t(kMostHistoryBars) + 1)
            return step;
    }
    return history::Step::Month;
}

HistorySpan stepMonth(const HistorySpan& span, int by, int64_t now)
{
    if (span.kind != HistorySpanKind::Month)
        return span;
    int index = span.year * 12 + (span.month - 1) + by;
    const HistorySpan current = HistorySpan::monthOf(now);
    index = std::min(index, current.year * 12 + (current.month - 1));
    if (index < 1970 * 12)
        return span;
    return {HistorySpanKind::Month, index / 12, index % 12 + 1};
}

bool spanIsLive(const HistorySpan& span, int64_t now)
{
    return span.kind != HistorySpanKind::Month || span == HistorySpan::monthOf(now);
}

std::string rangeText(const history::TimeRange& range)
{
    const auto midnight = [](int64_t t) {
        const LocalTime local = WallClock::localTimeOfEpoch(t * 1000);
        return local.hour == 0 && local.minute == 0 && local.second == 0;
    };
    if (midnight(range.from) && midnight(range.to) && range.to > range.from)
        return history::formatLocal(range.from, true) + " \u2013 " + history::formatLocal(range.to - 1, true);
    return history::formatLocal(range.from) + " \u2013 " + history::formatLocal(range.to);
}

bool coveredDiffers(const history::TimeRange& asked, const history::TimeRange& covered)
{
    const auto apart = [](int64_t a, int64_t b) { return (a > b ? a - b : b - a) > 300; };
    return !covered.empty() && (apart(asked.from, covered.from) || apart(asked.to, covered.to));
}

std::string monthText(const HistorySpan& span)
{
    if (span.kind != HistorySpanKind::Month)
        return {};
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d", span.year, span.month);
    return text;
}

} // namespace orvane
