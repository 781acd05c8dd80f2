#include "core/dashboard/DashboardRates.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace orvane {

namespace {

constexpr std::uint64_t kMax32 = std::numeric_limits<std::uint32_t>::max();

// A rate for publishing: whole bytes per second, within 32 bits.
std::uint32_t published(double rate)
{
    constexpr double kMax = std::numeric_limits<std::uint32_t>::max();
    if (!(rate > 0))
        return 0;
    return std::uint32_t(std::min(rate, kMax));
}

// The growth of a total since the previous tick; 0 when it fell or is not a number.
double growth(double& previous, double total)
{
    const double delta = total - previous;
    previous = total;
    return delta > 0 ? delta : 0.0;
}

} // namespace

double DashboardRates::smooth(int rate, double raw)
{
    double& previous = m_raw[std::size_t(rate)];
    const double shown = previous != 0 && raw != 0 ? raw : (raw + previous) / 2;
    previous = raw;
    m_shown[std::size_t(rate)] = shown;
    return shown;
}

double DashboardRates::byteRate(double& previous, double total, double milliseconds)
{
    return growth(previous, total) * 1000 / milliseconds;
}

bool DashboardRates::update(const RateTotals& totals, std::uint32_t elapsedMs)
{
    if (!m_started) {
        m_started = true;
        return false;
    }
    RateTotals& p = m_previous;

    const double received = smooth(kPacketsReceived, growth(p.receivedPackets, totals.receivedPackets));
    const double sent = smooth(kPacketsSent, growth(p.sentPackets, totals.sentPackets));
    m_shown[kPackets] = received + sent;

    const double ms = elapsedMs > 0 ? double(elapsedMs) : 1000.0;
    const double tcpIn = smooth(kTcpReceived, byteRate(p.tcpReceivedBytes, totals.tcpReceivedBytes, ms));
    const double tcpOut = smooth(kTcpSent, byteRate(p.tcpSentBytes, totals.tcpSentBytes, ms));
    m_shown[kTcpBytes] = tcpIn + tcpOut;
    const double udpIn = smooth(kUdpReceived, byteRate(p.udpReceivedBytes, totals.udpReceivedBytes, ms));
    const double udpOut = smooth(kUdpSent, byteRate(p.udpSentBytes, totals.udpSentBytes, ms));
    m_shown[kUdpBytes] = udpIn + udpOut;

    // Each protocol's rate is truncated on its own, then the two are added.
    m_download = std::uint32_t(std::min<std::uint64_t>(std::uint64_t(published(tcpIn)) + published(udpIn), kMax32));
    m_upload = std::uint32_t(std::min<std::uint64_t>(std::uint64_t(published(tcpOut)) + published(udpOut), kMax32));
    return true;
}

} // namespace orvane
