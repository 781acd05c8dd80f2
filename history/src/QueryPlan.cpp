#include "QueryPlan.h"

#include <algorithm>
#include <limits>

namespace history {

namespace {

constexpr int64_t kEarliest = 0;
constexpr int64_t kLatest = 253402300799;  // 9999-12-31

// The boundary of tier nearest to t.
int64_t nearestStart(Tier tier, int64_t t)
{
    const int64_t below = bucketStart(tier, t);
    if (below == t)
        return t;
    const int64_t above = nextBucket(tier, below);
    return (t - below) * 2 >= above - below ? above : below;
}

int64_t ceilStart(Tier tier, int64_t t)
{
    const int64_t below = bucketStart(tier, t);
    return below == t ? t : nextBucket(tier, below);
}

void add(std::vector<PlannedPiece>& out, Tier tier, int64_t from, int64_t to, int point)
{
    if (!out.empty()) {
        PlannedPiece& last = out.back();
        if (last.tier == tier && last.point == point && last.to == from) {
            last.to = to;
            return;
        }
    }
    out.push_back({tier, from, to, point});
}

// The finest tier that still holds t.
Tier finestAt(int64_t t, const std::array<int64_t, kTiers>& begins)
{
    for (int k = 0; k < kTiers; ++k)
        if (t >= begins[size_t(k)])
            return Tier(k);
    return Tier::Month;
}

// [from, to) in whole buckets, at each point the coarsest that starts there, fits, has been
// built and has not been purged; never finer than what still holds that moment.
void decompose(int64_t from, int64_t to, const std::array<int64_t, kTiers>& begins, const Horizons& horizons, int point,
               std::vector<PlannedPiece>& out)
{
    int64_t t = from;
    while (t < to) {
        const Tier finest = finestAt(t, begins);
        // Past where every coarser tier has been built (the hour going on, a range reaching
        // into the future), the finest tier answers all the way, as one run.
        bool coarser = false;
        for (int k = int(finest) + 1; k < kTiers; ++k)
            coarser = coarser || t < horizons.completeUntil[size_t(k)];
        if (!coarser) {
            int64_t end = to;
            for (int k = 0; k < int(finest); ++k)
                if (begins[size_t(k)] > t)
                    end = std::min(end, begins[size_t(k)]);
            if (isBucketStart(finest, t) && isBucketStart(finest, end)) {
                add(out, finest, t, end, point);
                t = end;
                continue;
            }
        }
        bool placed = false;
        for (int k = kTiers - 1; k >= int(finest) && !placed; --k) {
            const Tier tier = Tier(k);
            if (!isBucketStart(tier, t) || t < begins[size_t(k)])
                continue;
            const int64_t next = nextBucket(tier, t);
            if (next > to || (k > int(finest) && next > horizons.completeUntil[size_t(k)]))
                continue;
            add(out, tier, t, next, point);
            t = next;
            placed = true;
        }
        if (!placed) {
            // Only when a boundary was not one of finest (a damaged file's horizons): the
            // bucket that holds t, so that the walk always moves on.
            const int64_t start = bucketStart(finest, t);
            const int64_t next = nextBucket(finest, start);
            add(out, finest, start, next, point);
            t = next;
        }
    }
}

} // namespace

void planRange(const TimeRange& range, const Horizons& horizons, int point,
               std::vector<PlannedPiece>& out, TimeRange& covered)
{
    const int64_t from = std::clamp(range.from, kEarliest, kLatest);
    const int64_t to = std::clamp(range.to, kEarliest, kLatest);
    if (to <= from)
        return;
    // Where each tier's holding begins; a coarser tier never begins later than a finer one.
    std::array<int64_t, kTiers> begins{};
    for (int k = 0; k < kTiers; ++k)
        begins[size_t(k)] = std::clamp(horizons.purgedBefore[size_t(k)], kEarliest, kLatest);
    for (int k = 1; k < kTiers; ++k)
        begins[size_t(k)] = std::min(begins[size_t(k)], begins[size_t(k - 1)]);
    begins[kTiers - 1] = kEarliest;

    // Segment k: moments whose finest tier left is k, [begins[k], end of segment); the range's
    // ends move to the boundaries of the tier of the segment they fall in.
    std::vector<TimeRange> spans;
    int64_t segmentEnd = kLatest + 1;
    for (int k = 0; k < kTiers; ++k) {
        const Tier tier = Tier(k);
        const int64_t segmentBegin = begins[size_t(k)];
        if (segmentBegin >= segmentEnd)
            continue;
        const int64_t a = std::max(from, segmentBegin);
        const int64_t b = std::min(to, segmentEnd);
        const int64_t top = segmentEnd;
        segmentEnd = segmentBegin;
        if (a >= b)
            continue;
        int64_t sa, sb;
        if (tier == Tier::FiveMinutes) {
            sa = bucketStart(tier, a);
            sb = ceilStart(tier, b);
        } else {
            sa = nearestStart(tier, a);
            sb = nearestStart(tier, b);
        }
        if (sa >= sb) {
            // Shorter than half a bucket: the bucket that holds its middle answers.
            sa = bucketStart(tier, a + (b - a) / 2);
            sb = nextBucket(tier, sa);
        }
        sa = std::max(sa, segmentBegin);
        sb = std::min(sb, top);
        if (sa < sb)
            spans.push_back({sa, sb});
    }
    // The segments' spans, joined where they meet, so that a bucket of a coarse tier may
    // answer across the line where a finer one ends.
    std::sort(spans.begin(), spans.end(), [](const TimeRange& x, const TimeRange& y) { return x.from < y.from; });
    std::vector<TimeRange> joined;
    for (const TimeRange& span : spans) {
        if (!joined.empty() && span.from <= joined.back().to)
            joined.back().to = std::max(joined.back().to, span.to);
        else
            joined.push_back(span);
    }
    for (const TimeRange& span : joined) {
        decompose(span.from, span.to, begins, horizons, point, out);
        if (covered.empty()) {
            covered = span;
        } else {
            covered.from = std::min(covered.from, span.from);
            covered.to = std::max(covered.to, span.to);
        }
    }
}

} // namespace history
