#pragma once

#include <string_view>

// Decodes the domain name at pos of the DNS message msg (len bytes) into out as dotted
// text, following compression pointers (at most kMaxDnsPointers of them, so a pointer loop
// ends). A name longer than outSize is cut after its last whole label that fits. Returns the
// length of the text written (no trailing dot, no terminator); 0 for an empty name or a pos
// outside the message; kMalformedDnsName for a name no resolver would send: a label longer
// than 63 bytes, more than 255 bytes in all, a pointer loop, or a name that runs past the
// message; kNotAHostName for a well-formed name with a byte no host name holds (see
// isHostNameByte). Never reads outside msg[0..len) nor writes outside out[0..outSize).
// Any thread; it keeps no state.
int decodeDnsName(char* out, int outSize, const char* msg, int pos, int len);

constexpr int kMaxDnsPointers = 64;
constexpr int kMalformedDnsName = -1;
constexpr int kNotAHostName = -2;
constexpr int kMaxDnsLabel = 63;
constexpr int kMaxDnsNameWire = 255;  // length bytes, labels and the final zero
constexpr int kMaxHostNameText = 253;  // the longest name as dotted text
// A buffer that holds every name decodeDnsName accepts, uncut.
constexpr int kDnsNameBuffer = 256;

// Whether a byte may stand in a label of a host name: ASCII letters, digits, '-' and '_'
// (service labels). Everything else - NUL, blanks, dots inside a label, control bytes,
// anything beyond ASCII - would let a name be cut or disguised when shown.
constexpr bool isHostNameByte(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

// Whether dotted text is a host name, wherever it came from (a DNS answer, a TLS handshake):
// 1 to 253 characters, labels of 1 to 63 host-name bytes separated by single dots, no dot at
// either end. Any thread.
bool isHostName(std::string_view dotted);
