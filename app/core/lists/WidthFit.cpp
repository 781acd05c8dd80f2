#include "core/lists/WidthFit.h"

#include <algorithm>
#include <cstdint>
#include <numeric>

namespace orvane {

namespace {

// Hands out extra pixels in proportion to weights; the rounding remainder goes to the items
// with the largest fractions, so the sum is exact.
void share(std::vector<int>& widths, const std::vector<std::int64_t>& weights, std::int64_t extra)
{
    const std::int64_t total = std::accumulate(weights.begin(), weights.end(), std::int64_t(0));
    if (total <= 0 || extra <= 0)
        return;
    std::vector<std::pair<std::int64_t, std::size_t>> fractions;
    std::int64_t given = 0;
    for (std::size_t i = 0; i < widths.size(); ++i) {
        if (weights[i] <= 0)
            continue;
        const std::int64_t scaled = extra * weights[i];
        widths[i] += int(scaled / total);
        given += scaled / total;
        fractions.emplace_back(scaled % total, i);
    }
    std::stable_sort(fractions.begin(), fractions.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    for (std::size_t k = 0; given < extra && k < fractions.size(); ++k, ++given)
        ++widths[fractions[k].second];
}

} // namespace

std::vector<int> fitWidths(std::span<const WidthItem> items, int available)
{
    const std::size_t n = items.size();
    std::vector<int> widths(n);
    std::int64_t preferred = 0;
    for (std::size_t i = 0; i < n; ++i) {
        widths[i] = std::max({items[i].preferred, items[i].minimum, 0});
        preferred += widths[i];
    }
    available = std::max(available, 0);
    if (preferred <= available) {
        std::vector<std::int64_t> weights(n, 0);
        for (std::size_t i = 0; i < n; ++i)
            weights[i] = items[i].grows ? std::max<std::int64_t>(widths[i], 1) : 0;
        share(widths, weights, available - preferred);
        return widths;
    }
    // Too wide: every item not yet at its minimum shrinks by the same fraction of its
    // preferred width; items that would pass their minimum stop there and the others shrink
    // further, until the row fits or every item is at its minimum.
    std::vector<bool> atMinimum(n, false);
    for (;;) {
        std::int64_t fixed = 0;
        std::int64_t flexible = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const int want = std::max({items[i].preferred, items[i].minimum, 0});
            if (atMinimum[i])
                fixed += std::max(items[i].minimum, 0);
            else
                flexible += want;
        }
        const std::int64_t room = available - fixed;
        bool clamped = false;
        for (std::size_t i = 0; i < n; ++i) {
            if (atMinimum[i])
                continue;
            const int want = std::max({items[i].preferred, items[i].minimum, 0});
            const std::int64_t scaled = flexible > 0 && room > 0 ? room * want / flexible : 0;
            if (scaled < items[i].minimum) {
                atMinimum[i] = true;
                clamped = true;
            }
        }
        if (clamped)
            continue;
        std::vector<std::int64_t> weights(n, 0);
        std::int64_t used = 0;
        for (std::size_t i = 0; i < n; ++i) {
            if (atMinimum[i]) {
                widths[i] = std::max(items[i].minimum, 0);
            } else {
                const int want = std::max({items[i].preferred, items[i].minimum, 0});
                widths[i] = int(flexible > 0 && room > 0 ? room * want / flexible : 0);
                weights[i] = want;
            }
            used += widths[i];
        }
        share(widths, weights, available - used);
        return widths;
    }
}

} // namespace orvane
