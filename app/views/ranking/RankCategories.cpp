#include "views/ranking/RankCategories.h"

namespace orvane {

namespace {

// Byte rankings list addresses with at least 1024 bytes, packet rankings those with at least
// 100 packets (the engine takes values strictly above the threshold).
constexpr double kBytes = 1023;
constexpr double kPackets = 99;

constexpr RankCategory kCategories[] = {
    {"tcp_all_bytes", kTrafficTcp, 3, kBytes},     {"tcp_in_bytes", kTrafficTcp, 1, kBytes},
    {"tcp_out_bytes", kTrafficTcp, 2, kBytes},     {"tcp_all_packets", kTrafficTcp, 6, kPackets},
    {"tcp_in_packets", kTrafficTcp, 4, kPackets},  {"tcp_out_packets", kTrafficTcp, 5, kPackets},
    {"udp_all_bytes", kTrafficUdp, 3, kBytes},     {"udp_in_bytes", kTrafficUdp, 1, kBytes},
    {"udp_out_bytes", kTrafficUdp, 2, kBytes},     {"udp_all_packets", kTrafficUdp, 6, kPackets},
    {"udp_in_packets", kTrafficUdp, 4, kPackets},  {"udp_out_packets", kTrafficUdp, 5, kPackets},
};

} // namespace

std::span<const RankCategory> rankCategories()
{
    return kCategories;
}

} // namespace orvane
