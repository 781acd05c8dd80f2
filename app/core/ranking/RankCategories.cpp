#include "core/ranking/RankCategories.h"

namespace orvane {

namespace {

// Byte rankings list addresses with at least 1024 bytes, packet rankings those with at least
// 100 packets (the engine takes values strictly above the threshold).
constexpr double kBytes = 1023;
constexpr double kPackets = 99;

using M = XRankMeasure;
constexpr RankCategory kCategories[] = {
    {"tcp_all_bytes", kTrafficTcp, M::Bytes, kBytes},         {"tcp_in_bytes", kTrafficTcp, M::BytesIn, kBytes},
    {"tcp_out_bytes", kTrafficTcp, M::BytesOut, kBytes},      {"tcp_all_packets", kTrafficTcp, M::Packets, kPackets},
    {"tcp_in_packets", kTrafficTcp, M::PacketsIn, kPackets},  {"tcp_out_packets", kTrafficTcp, M::PacketsOut, kPackets},
    {"udp_all_bytes", kTrafficUdp, M::Bytes, kBytes},         {"udp_in_bytes", kTrafficUdp, M::BytesIn, kBytes},
    {"udp_out_bytes", kTrafficUdp, M::BytesOut, kBytes},      {"udp_all_packets", kTrafficUdp, M::Packets, kPackets},
    {"udp_in_packets", kTrafficUdp, M::PacketsIn, kPackets},  {"udp_out_packets", kTrafficUdp, M::PacketsOut, kPackets},
};

} // namespace

std::span<const RankCategory> rankCategories()
{
    return kCategories;
}

} // namespace orvane
