#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// The QUIC versions whose Initial packets can be opened: version 1 and version 2. Their
// Initial keys come from the client's first Destination Connection ID alone, so anyone on the
// path can read the ClientHello; only the labels, the salt and the packet-type bits differ.
constexpr uint32_t kQuicVersion1 = 0x00000001;
constexpr uint32_t kQuicVersion2 = 0x6b3343cf;
constexpr size_t kQuicMaxConnectionId = 20;

// Whether version is one of the two above.
bool isKnownQuicVersion(uint32_t version);
// The long-header packet type (bits 5 and 4 of the first byte) of an Initial packet.
uint8_t quicInitialPacketType(uint32_t version);

// AEAD_AES_128_GCM packet protection and AES-ECB header protection keys of one direction.
struct XQuicInitialKeys {
    std::array<uint8_t, 16> key{};
    std::array<uint8_t, 12> iv{};
    std::array<uint8_t, 16> hp{};
};

// The keys a client protects its Initial packets with, derived with HKDF-SHA256 from the
// Destination Connection ID of its first Initial. False for an unknown version or when the
// crypto library fails. Any thread.
bool deriveClientInitialKeys(uint32_t version, const uint8_t* dcid, size_t dcidSize, XQuicInitialKeys& keys);

// Opens one long-header packet packet[0..size) (first byte to the end of its Length field's
// extent) whose packet number starts at pnOffset: removes the header protection, then
// decrypts and authenticates the payload. On success header holds the unprotected header up
// to and including the packet number, and payload the plaintext frames. False when the
// packet is too short to carry the header-protection sample and the tag, or when it fails
// authentication; the buffers then hold nothing of use. Never reads outside the packet.
// Any thread.
bool openLongHeaderPacket(const XQuicInitialKeys& keys, const uint8_t* packet, size_t size, size_t pnOffset,
                          std::vector<uint8_t>& header, std::vector<uint8_t>& payload);

constexpr size_t kQuicSampleSize = 16;
constexpr size_t kQuicTagSize = 16;
