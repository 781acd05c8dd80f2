#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/IoEvents.h"

// The network events of the Windows kernel trace (the TCP/IP and UDP/IP event classes) decoded
// from the bytes of an event record. Standard C++ only: the records are data, and any system
// can test and fuzz the decoding.
namespace platform {

// A GUID as an event header holds it.
struct EtwGuid {
    uint32_t data1 = 0;
    uint16_t data2 = 0;
    uint16_t data3 = 0;
    uint8_t data4[8] = {};

    bool operator==(const EtwGuid& o) const
    {
        if (data1 != o.data1 || data2 != o.data2 || data3 != o.data3)
            return false;
        for (int i = 0; i < 8; ++i)
            if (data4[i] != o.data4[i])
                return false;
        return true;
    }
};

// {9A280AC0-C8E0-11D1-84E2-00C04FB998A2} and {BF3A50C5-A9C9-4988-A005-2DF0B7C80F80}.
inline constexpr EtwGuid kEtwTcpIpClass{0x9A280AC0, 0xC8E0, 0x11D1, {0x84, 0xE2, 0x00, 0xC0, 0x4F, 0xB9, 0x98, 0xA2}};
inline constexpr EtwGuid kEtwUdpIpClass{0xBF3A50C5, 0xA9C9, 0x4988, {0xA0, 0x05, 0x2D, 0xF0, 0xB7, 0xC8, 0x0F, 0x80}};

// Event types of both classes that carry IPv4 traffic.
enum : uint8_t { kEtwTypeSend = 10, kEtwTypeReceive = 11 };

// What the decoder needs of one event record: its header fields and its payload.
struct EtwNetRecordView {
    EtwGuid provider;         // the event class
    uint8_t opcode = 0;       // the event type
    uint8_t version = 0;      // the layout version of the class
    bool pointer64 = true;    // logged by a 64-bit system: pointer fields take 8 bytes
    uint32_t headerPid = 0;   // the header's process id
    uint64_t timestamp = 0;   // FILETIME scale (a session clocked by system time)
    const uint8_t* data = nullptr;
    size_t size = 0;
};

// One decoded event: the engine's event with its remote end, plus the local end.
struct EtwNetEvent {
    NetEvent event;
    uint32_t localAddr = 0;   // network order
};

enum class EtwNetResult {
    Event,      // out holds an IPv4 TCP or UDP send or receive
    Ignored,    // another class or event type, or IPv6
    Truncated,  // the payload is shorter than its layout
};

// Decodes one record. The sizes the events give leave out the IP and transport headers, so 40
// (TCP) or 28 (UDP) bytes are added; the process is the payload's (the header's belongs to
// whichever thread logged it), except in the oldest UDP layout, which has none. Layouts:
//   TCP 0: daddr saddr dport sport size PID          UDP 0: context* saddr sport size16 daddr dport dsize16
//   TCP 1+: PID size daddr saddr dport sport ...     UDP 1+: PID size daddr saddr dport sport ...
// (version 2 appends sequence numbers, times and a connection pointer). A TCP event's remote
// end is its destination in both directions; a UDP receive names the sender as source. Reads
// nothing beyond data[size - 1].
EtwNetResult decodeEtwNetRecord(const EtwNetRecordView& record, EtwNetEvent& out);

// A receive whose remote end is one of this machine's addresses while its local end is not
// has its ends the other way round: they are swapped, ports included. True when it swapped.
bool orientByLocalAddresses(EtwNetEvent& decoded, const std::vector<uint32_t>& localAddrs);

} // namespace platform
