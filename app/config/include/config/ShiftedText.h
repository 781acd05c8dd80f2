#pragma once

#include <string>
#include <string_view>

// The shipped config.dat, ication.dat and ptdescr.dat store every byte of a line one higher
// than its value (modulo 256); line ends are stored plainly.
namespace lumivex::config {

// Decodes one line (without its line end). Decoding stops at the first zero byte of the raw
// text and at the first byte that decodes to zero, as the text is a C string either way.
std::string unshiftLine(std::string_view raw);

// Encodes one line (without its line end). The inverse of unshiftLine for texts without
// zero bytes.
std::string shiftLine(std::string_view text);

} // namespace lumivex::config
