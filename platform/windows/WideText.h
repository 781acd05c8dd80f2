#pragma once

#include <string>
#include <string_view>

// Windows hands out and takes text as UTF-16; everything above the platform layer is UTF-8.
// These two convert at that boundary. Unpaired surrogates and bytes that are not UTF-8 become
// U+FFFD, so a hostile name never turns into something else.
namespace platform {

std::string utf8FromWide(std::wstring_view text);
std::wstring wideFromUtf8(std::string_view text);

// The system's own text for an error number (FormatMessageW), as "<number> (<text>)", or the
// number alone when the system has none.
std::string systemErrorText(unsigned long error);

} // namespace platform
