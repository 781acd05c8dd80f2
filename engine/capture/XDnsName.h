#pragma once

// Decodes the domain name at pos of the DNS message msg (len bytes) into out as dotted
// text, following compression pointers (at most kMaxDnsPointers of them, so a pointer loop
// ends). A name longer than outSize is cut after its last whole label that fits. Returns the
// length of the text written (no trailing dot, no terminator); 0 for an empty name or a pos
// outside the message; kMalformedDnsName for a name no resolver would send: a label longer
// than 63 bytes, more than 255 bytes in all, a pointer loop, or a name that runs past the
// message. Never reads outside msg[0..len) nor writes outside out[0..outSize).
// Any thread; it keeps no state.
int decodeDnsName(char* out, int outSize, const char* msg, int pos, int len);

constexpr int kMaxDnsPointers = 64;
constexpr int kMalformedDnsName = -1;
constexpr int kMaxDnsLabel = 63;
constexpr int kMaxDnsNameWire = 255;  // length bytes, labels and the final zero
