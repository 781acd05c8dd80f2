#pragma once

#include <cstdint>
#include <string>

// Where the metrics endpoint listens: "ADDR:PORT", "[IPV6]:PORT", or the port alone (":PORT"
// or "PORT"), which means the loopback address. Port 0 takes any free port.
struct MetricsEndpoint {
    std::string address = "127.0.0.1";  // an IPv4 or IPv6 address in text, without brackets
    uint16_t port = 0;
    bool ipv6 = false;                  // address came in brackets
};

// Splits text into address and port; false (with the reason in error) for a malformed one.
// Whether the address is one this host can listen on is found out when listening.
bool parseMetricsEndpoint(const std::string& text, MetricsEndpoint& out, std::string& error);
