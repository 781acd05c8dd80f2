#pragma once

#include <string>

namespace orvane {

// Case-insensitive text order of the lists' text columns: ASCII letters folded, every other
// byte (UTF-8 included) compared as it is. Negative, 0 or positive.
int compareTextNoCase(const std::string& a, const std::string& b);

} // namespace orvane
