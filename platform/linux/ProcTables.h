#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "platform/Processes.h"
#include "platform/SocketTable.h"

// Parsers of the /proc text tables the Linux backend reads.
namespace platform {

// Parses one data line of /proc/net/{tcp,udp,tcp6,udp6}. False for the header, a truncated
// or malformed line, or an IPv6 address that is not IPv4-mapped.
bool parseProcNetLine(std::string_view line, bool ipv6, SocketProtocol protocol, SocketRow& out);

// Appends the rows of a whole /proc/net table text; bad lines are skipped one by one.
// Returns the number of rows appended.
size_t parseProcNetTable(std::string_view text, bool ipv6, SocketProtocol protocol,
                         std::vector<SocketRow>& out);

// Translates a Linux TCP state (1 ESTABLISHED ... 12 NEW_SYN_RECV) to 1..12 of the table
// numbering (1 CLOSED, 2 LISTEN, 3 SYN_SENT, 4 SYN_RCVD, 5 ESTABLISHED, 6 FIN_WAIT1,
// 7 FIN_WAIT2, 8 CLOSE_WAIT, 9 CLOSING, 10 LAST_ACK, 11 TIME_WAIT, 12 DELETE_TCB).
int translateTcpState(int linuxState);

// Parses the text of a /proc/pid/io file; false when either byte field is missing or bad.
bool parseProcessIo(std::string_view text, ProcessIo& out);

// The start time (field 22) of a /proc/pid/stat text. The name in field 2 may hold blanks and
// parentheses, so the fields are counted after its last ')'. False for a malformed text.
bool parseProcessStartTime(std::string_view statText, uint64_t& out);

} // namespace platform
