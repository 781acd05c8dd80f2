#include "views/lists/ListColours.h"

namespace orvane::listcolour {

Rgb byLastUnitLetter(std::string_view text)
{
    if (text.empty())
        return listcolour::text;
    switch (text.back()) {
    case 'K': return kilo;
    case 'M': return mega;
    case 'G': return giga;
    default: return listcolour::text;
    }
}

Rgb byUnitLetter(std::string_view text)
{
    if (text == "0")
        return listcolour::text;
    if (text.find('K') != std::string_view::npos)
        return kilo;
    if (text.find('M') != std::string_view::npos)
        return mega;
    if (text.find('G') != std::string_view::npos || text.find('T') != std::string_view::npos)
        return giga;
    return listcolour::text;
}

} // namespace orvane::listcolour
