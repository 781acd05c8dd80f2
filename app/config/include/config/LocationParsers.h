#pragma once

#include "config/LocationTable.h"

#include <array>
#include <cstddef>
#include <string_view>

// Readers of the two location files. Both take the file's bytes, so a broken or hostile file
// can only cost its own lines.
namespace lumivex::config {

inline constexpr std::size_t kDatabaseLineMax = 510;      // ication.dat line text
inline constexpr std::size_t kDatabaseRecordLimit = 400000;
inline constexpr std::size_t kSupplementaryLimit = 400000;
inline constexpr std::size_t kDatabaseTextMax = 30;       // ication.dat location bytes
inline constexpr std::size_t kSupplementaryTextMax = 31;  // ipanother.txt location bytes

struct LocationLoad {
    std::size_t records = 0;   // ranges stored
    std::size_t ignored = 0;   // non-blank lines not used: comments, malformed, outside a section, over the limit
    bool overLong = false;     // reading stopped at an over-long line
};

// ication.dat: byte-shifted lines; "level zero" ... "level three" lines open the four
// sections; "first-last[text]" lines add ranges to the current section. Texts are cut to 30
// bytes at a character boundary. The tables are not normalised here.
LocationLoad parseLocationDatabase(std::string_view content, std::array<LocationTable, 4>& levels);

// ipanother.txt: plain text whose first byte is skipped; lines end at CR, LF or CR LF (a last
// line without a line end counts); "first - last[text]" lines in ascending order. Texts are cut
// to 31 bytes at a character boundary. At most kSupplementaryLimit ranges are kept.
LocationLoad parseSupplementary(std::string_view content, LocationTable& list);

} // namespace lumivex::config
