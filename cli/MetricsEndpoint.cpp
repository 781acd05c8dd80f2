#include "MetricsEndpoint.h"

#include <charconv>

bool parseMetricsEndpoint(const std::string& text, MetricsEndpoint& out, std::string& error)
{
    MetricsEndpoint e;
    std::string port = text;
    if (!text.empty() && text.front() == '[') {
        const size_t close = text.find(']');
        if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != ':') {
            error = "--metrics " + text + ": an IPv6 address is written [ADDR]:PORT";
            return false;
        }
        e.address = text.substr(1, close - 1);
        e.ipv6 = true;
        port = text.substr(close + 2);
    } else if (const size_t colon = text.rfind(':'); colon != std::string::npos) {
        if (text.find(':') != colon) {
            error = "--metrics " + text + ": an IPv6 address is written [ADDR]:PORT";
            return false;
        }
        if (colon > 0)
            e.address = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (port.empty() || ec != std::errc() || end != port.data() + port.size() || value > 65535 || e.address.empty()) {
        error = "--metrics needs ADDR:PORT, [ADDR]:PORT or PORT (a port from 0 to 65535), not " + text;
        return false;
    }
    if (e.address == "localhost")
        e.address = "127.0.0.1";
    e.port = uint16_t(value);
    out = e;
    return true;
}
