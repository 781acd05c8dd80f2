#pragma once

#include <string_view>

#include "capture/XDnsName.h"

// Whether a host name a client sent in a TLS handshake (server_name) may be handed out as a
// DNS name: the rule every name source shares (isHostName): 1 to 253 characters, labels of 1
// to 63 characters separated by single dots (no leading or trailing dot), only ASCII letters,
// digits, hyphen and underscore. Anything else (NUL, control or format characters, other
// bytes, an empty label) rejects the whole name: it is never cut to a valid part. Any thread;
// it keeps no state.
inline bool isAcceptableServerName(std::string_view name)
{
    return isHostName(name);
}

constexpr int kMaxServerNameLength = kMaxHostNameText;
constexpr int kMaxServerNameLabel = kMaxDnsLabel;
