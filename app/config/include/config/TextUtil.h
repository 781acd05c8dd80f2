#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "corekit/Utf8Text.h"

// Small text helpers shared by the readers of the data files and the front ends.
namespace lumivex::config {

// Drops leading and trailing blanks (0x20 only; tabs stay).
std::string_view trimBlanks(std::string_view text);

// Length of the longest prefix of text that is at most maxBytes long and does not end inside
// a UTF-8 multi-byte sequence. Bytes that are not valid UTF-8 lead bytes count as one
// character each.
std::size_t utf8PrefixLength(std::string_view text, std::size_t maxBytes);

// Strict dotted-decimal IPv4 text ("a.b.c.d", each part 1-3 decimal digits, 0-255) to a
// host-order address; nothing for any other text.
std::optional<std::uint32_t> parseDottedQuad(std::string_view text);

// Dotted-decimal text of a host-order address.
void formatDottedQuad(std::uint32_t address, char (&out)[16]);

// C atoi semantics on a bounded text: leading blanks and tabs, an optional sign, then
// decimal digits up to the first other byte; 0 when there are none. Saturates instead of
// overflowing.
long long decimalPrefix(std::string_view text);

// isFormatCharacter() and utf8CodePointAt(): see corekit/Utf8Text.h.
using corekit::isFormatCharacter;
using corekit::utf8CodePointAt;

// Text from the wire or from other programs as the window shows it: every control character,
// format character (see isFormatCharacter) and byte that is not valid UTF-8 replaced by the
// visible mark U+FFFD, so that nothing in it can hide, reorder or cut what follows.
std::string visibleText(std::string_view text);

} // namespace lumivex::config
