#pragma once

#include "capengine/XEngineRows.h"

#include <span>

namespace orvane {

enum class CellAlign { Left, Centre, Right };

// One column of a skinned list: the UI text key of its header, its width and alignment.
struct ListColumn {
    const char* key;
    int width;
    CellAlign align;
    bool grows = false;  // takes a share of the width left over (the name columns)
};

// The columns of the traffic lists, left to right. The chat list has no program column, and
// its second column names the chat program instead of the port.
enum class TrafficColumn { Address, Port, DnsName, Location, SentBytes, ReceivedBytes, LastSeen, Program };
inline constexpr int kTrafficColumns = 8;

// The columns of a traffic list: TCP and UDP have eight, the chat list seven.
std::span<const ListColumn> trafficColumns(XTrafficKind kind);

// Cells filled in the active colour while the row has recent traffic, in every traffic list.
constexpr bool markWhenActive(TrafficColumn column)
{
    return column == TrafficColumn::Address || column == TrafficColumn::Location;
}

} // namespace orvane
