#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// What a TLS ClientHello told about the server its client wants to reach, or why it told
// nothing.
enum class XServerNameStatus : uint8_t {
    Found,           // serverName holds the host_name the client sent
    NoServerName,    // a whole ClientHello without a server_name extension
    Truncated,       // the input ends before the server_name, or before the end of the hello
    NotClientHello,  // not a TLS handshake record, or a handshake message other than ClientHello
    Malformed,       // a length that runs past its enclosing field or disagrees with it
    BadName,         // a server_name that is not a DNS host name (isAcceptableServerName)
};

struct XClientHelloName {
    XServerNameStatus status = XServerNameStatus::NotClientHello;
    // The hello carries an encrypted_client_hello extension: the real name, if any, is
    // encrypted and serverName is the outer (public) one.
    bool ech = false;
    std::string serverName;  // empty unless status is Found
};

// Short lower-case word for logs and counters ("found", "truncated", ...).
const char* serverNameStatusText(XServerNameStatus status);

// The first bytes a client sent on a TCP connection: one or more TLS handshake records whose
// payload is a ClientHello. The input may end anywhere (a first segment cut at 1 500 bytes):
// a server_name that lies wholly inside it is found, otherwise the result is Truncated.
// Record and handshake lengths must agree with each other and with every nested length; the
// parser never reads outside data[0..size). Any thread; it keeps no state.
XClientHelloName parseTlsClientHello(const uint8_t* data, size_t size);

// A ClientHello handshake message without the record layer (type, 24-bit length, body), as
// QUIC carries it in its CRYPTO frames; the same rules otherwise.
XClientHelloName parseClientHelloMessage(const uint8_t* data, size_t size);

constexpr size_t kTlsRecordHeader = 5;
constexpr size_t kTlsMaxRecordPayload = 16384;
constexpr size_t kTlsHandshakeHeader = 4;
