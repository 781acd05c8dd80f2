#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Builds TLS ClientHellos and protected QUIC Initial packets for the handshake parser tests.
namespace handshake {

using Bytes = std::vector<uint8_t>;

// A recorded input of tests/data/capture/handshake/.
Bytes recorded(const std::string& file);

Bytes extension(uint16_t type, const Bytes& body);
Bytes serverNameExtension(const std::string& name);

// A ClientHello handshake message: version 0x0303, a zero random, no session id, one cipher
// suite, null compression, then the extensions (no extensions block when withExtensions is
// false). Its server_name extension, when it is the first, starts at kFirstExtension.
Bytes clientHello(const std::vector<Bytes>& extensions, bool withExtensions = true);
constexpr size_t kExtensionsLength = 45;  // offset in the message of the extensions' length
constexpr size_t kFirstExtension = 47;

// The message in handshake records of at most fragment bytes each.
Bytes tlsRecords(const Bytes& message, size_t fragment = 16384);

// QUIC frames.
Bytes cryptoFrame(uint64_t offset, const Bytes& data);
Bytes varint(uint64_t value);

// A client Initial packet of version carrying frames, protected with the keys of dcid; the
// payload is padded with PADDING frames to at least padTo bytes.
Bytes quicInitial(uint32_t version, const Bytes& dcid, uint32_t packetNumber, const Bytes& frames,
                  size_t padTo = 0);

Bytes operator+(Bytes a, const Bytes& b);

}  // namespace handshake
