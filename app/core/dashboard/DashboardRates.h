#pragma once

#include <array>
#include <cstdint>

namespace orvane {

// The running totals the dashboard's rates come from (all captured traffic so far).
struct RateTotals {
    double tcpSentBytes = 0;
    double tcpReceivedBytes = 0;
    double udpSentBytes = 0;
    double udpReceivedBytes = 0;
    double sentPackets = 0;      // TCP + UDP + chat
    double receivedPackets = 0;
};

// The nine rates of the dashboard, in chart order.
enum DashboardRate : int {
    kTcpBytes = 0, kTcpSent, kTcpReceived,
    kUdpBytes, kUdpSent, kUdpReceived,
    kPackets, kPacketsSent, kPacketsReceived,
};
constexpr int kDashboardRates = 9;
using DashboardRateValues = std::array<double, kDashboardRates>;

// Turns the totals of every refresh tick into the nine shown rates: bytes per second of TCP
// and UDP (both ways, sent, received) and packets per tick (both ways, sent, received).
// A raw rate is shown as it is when both it and the previous raw rate of that chart are
// non-zero, else as the mean of the two: a rate that starts or stops shows half its value
// for one tick. Totals that fall (a counter was cleared) give a rate of 0.
class DashboardRates {
public:
    // One tick. elapsedMs 0 counts as 1000. The first call only marks the start: the
    // previous totals stay 0, so the first rates cover everything counted until the second
    // call. Returns false for that first call, true when new rates were computed.
    bool update(const RateTotals& totals, std::uint32_t elapsedMs);

    bool started() const { return m_started; }
    // The shown rates of the last update (0 before the second update).
    const DashboardRateValues& shown() const { return m_shown; }
    double shown(int rate) const { return m_shown[std::size_t(rate)]; }
    // Bytes per second of all traffic received and sent (TCP + UDP), as published to the
    // other views: the shown rates, truncated.
    std::uint32_t downloadSpeed() const { return m_download; }
    std::uint32_t uploadSpeed() const { return m_upload; }

private:
    // The shown value of one rate, remembering its raw value.
    double smooth(int rate, double raw);
    double byteRate(double& previous, double total, double seconds);

    bool m_started = false;
    RateTotals m_previous;
    DashboardRateValues m_raw{};
    DashboardRateValues m_shown{};
    std::uint32_t m_download = 0;
    std::uint32_t m_upload = 0;
};

} // namespace orvane
