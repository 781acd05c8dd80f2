#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Text from the wire and from other programs (DNS names, program names, locations) as it may
// reach a terminal: a control character could move the cursor, clear the screen or retitle
// the window, and an invisible format character (a right-to-left override, a zero-width
// space) could make one name read as another, so every one is shown escaped.

// The length of the valid UTF-8 sequence that starts at text[i], 0 when none starts there
// (a stray continuation byte, an overlong form, a surrogate, a code point above U+10FFFF or a
// sequence cut short).
size_t utf8SequenceAt(std::string_view text, size_t i);

// text with every control character (U+0000-U+001F, U+007F, U+0080-U+009F) written as \xNN,
// every format character (lumivex::config::isFormatCharacter) as \uNNNN, a backslash as \\,
// and every byte that is not part of valid UTF-8 as U+FFFD.
std::string terminalSafe(std::string_view text);

// Columns terminal-safe text takes: two for East Asian wide characters, one for the rest.
int displayWidth(std::string_view safeText);

// Terminal-safe text cut to at most width columns (never inside a character) and padded with
// blanks to exactly width.
std::string fitColumn(std::string_view safeText, int width);
