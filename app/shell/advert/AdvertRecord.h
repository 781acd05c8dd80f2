#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orvane {

// The information record of the program's web service: where the banner lies, the page a
// click on it opens and the online-help page.
struct AdvertRecord {
    std::string imageHost;
    std::string imagePath;
    std::string clickPage;
    std::string helpPage;
};

// Bodies of this size or more are refused whole.
inline constexpr std::size_t kAdvertBodyLimit = 4096;

// Splits an information body ("host;path;click page;help page") into the record. Each field
// ends at the next ";" or at the end of the body, and is trimmed of blanks and line ends;
// missing fields stay empty. Fields longer than their slot (127, 511, 511 and 510
// characters) are cut to 126, 510, 510 and 510. False (record untouched) for an empty body
// or one of kAdvertBodyLimit bytes or more.
bool parseAdvertRecord(std::string_view body, AdvertRecord& out);

// Whether text is a plain host name or IPv4 address (letters, digits, "-" and ".", at most
// 253 characters, no empty label): the only image hosts a banner is fetched from.
bool isPlainHostName(std::string_view text);

// Whether text can be sent as an object path: printable ASCII without blanks.
bool isPlainObjectPath(std::string_view text);

} // namespace orvane
