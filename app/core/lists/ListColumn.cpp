#include "core/lists/ListColumn.h"

namespace orvane {

namespace {

// The address column asks for right alignment, but a report list draws its first column
// left-aligned; the address then starts with one blank either way.
constexpr ListColumn kAddressColumns[] = {
    {"remoteip", 118, CellAlign::Left},           {"remoteport", 80, CellAlign::Centre},
    {"dnsname", 150, CellAlign::Right, true},     {"location", 160, CellAlign::Centre, true},
    {"sendbyte", 80, CellAlign::Right},           {"recvbyte", 80, CellAlign::Right},
    {"lasttime", 100, CellAlign::Right},          {"program", 180, CellAlign::Left, true},
};

constexpr ListColumn kChatColumns[] = {
    {"friend_remoteip", 118, CellAlign::Left},    {"protocol", 90, CellAlign::Centre},
    {"dnsname", 150, CellAlign::Right, true},     {"location", 160, CellAlign::Centre, true},
    {"sendbyte", 80, CellAlign::Right},           {"recvbyte", 80, CellAlign::Right},
    {"lasttime", 200, CellAlign::Centre},
};

} // namespace

std::span<const ListColumn> trafficColumns(XTrafficKind kind)
{
    if (kind == kTrafficChat)
        return kChatColumns;
    return kAddressColumns;
}

} // namespace orvane
