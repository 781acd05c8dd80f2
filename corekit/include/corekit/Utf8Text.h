#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// What every text output needs to know of UTF-8 to show text from the wire or from other
// programs safely.
namespace corekit {

// Number of bytes of the UTF-8 sequence a lead byte starts, or 1 for a byte that cannot start
// one (continuation bytes and invalid leads are then taken on their own).
std::size_t utf8SequenceLength(unsigned char lead);

// The code point of the valid UTF-8 sequence at text[i] and its length in length; length 0
// when none starts there (a stray continuation byte, an overlong form, a surrogate, a value
// above U+10FFFF or a sequence cut short).
std::uint32_t utf8CodePointAt(std::string_view text, std::size_t i, std::size_t& length);

// Whether a code point is an invisible format character that changes how the text around it
// reads without showing itself: bidirectional controls (U+202A-U+202E, U+2066-U+2069,
// U+200E, U+200F, U+061C), zero-width characters (U+200B-U+200D, U+2060-U+2064, U+FEFF),
// line and paragraph separators, the soft hyphen and the like. Text from the wire and from
// other programs shows each of them marked, as it shows control characters.
bool isFormatCharacter(std::uint32_t codePoint);

} // namespace corekit
