#pragma once

#include "core/ValueFormat.h"

#include "capengine/XEngineRows.h"

#include <array>
#include <cstdint>
#include <string>

namespace orvane {

class TrafficModel;
struct CellSources;

// The four per-second rates the detail pane follows, in this order.
enum DetailRate { kRateRecvBytes = 0, kRateSentBytes, kRateRecvPackets, kRateSentPackets, kRates };

// One list's followed address: the previous sample, the latest rates and the last rates that
// were not zero.
struct TrackedAddress {
    std::uint32_t address = 0;  // 0: none
    XTrafficRow previous;       // the last sample taken (address 0 before the first)
    bool sampleValid = false;   // previous holds a sample of this address
    std::array<double, kRates> rates{};
    std::array<double, kRates> lastNonZero{};
};

// What one tick adds to a list's three curves.
struct CurveSamples {
    bool push = false;
    double total = 0;
    double sent = 0;
    double received = 0;
};

// The figures of the per-address detail pane without the painting: one followed address per
// traffic list (TCP, UDP, chat), sampled once a tick. Rates never go negative (a
// counter that went backwards, after a clear, counts as no traffic), an elapsed time of 0
// counts as one second, and an address that vanished keeps its last figures.
class DetailTracker {
public:
    static constexpr int kValues = 17;
    static constexpr Rgb kValueColour{218, 218, 226};

    // Follows address in list kind; true when it is a new address (its curves restart).
    bool follow(XTrafficKind kind, std::uint32_t address);
    void setKind(XTrafficKind kind);
    XTrafficKind currentKind() const { return m_current; }
    // One tick, elapsedMs after the previous one: returns what each list's curves get.
    std::array<CurveSamples, kTrafficKinds> sample(std::uint32_t elapsedMs, const TrafficModel& model);
    // Forgets every followed address.
    void reset();

    const TrackedAddress& tracked(XTrafficKind kind) const
    {
        return m_tracked[std::size_t(validKind(kind) ? kind : kTrafficTcp)];
    }
    // The fifteen value cells of the current list's address (all a blank when none).
    std::array<ColoredText, kValues> values(const TrafficModel& model, const CellSources& sources) const;

private:
    static bool validKind(XTrafficKind kind) { return kind >= 0 && kind < kTrafficKinds; }

    std::array<TrackedAddress, kTrafficKinds> m_tracked;
    XTrafficKind m_current = kTrafficTcp;
};

} // namespace orvane
