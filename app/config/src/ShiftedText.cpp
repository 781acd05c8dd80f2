#include "config/ShiftedText.h"

namespace lumivex::config {

std::string unshiftLine(std::string_view raw)
{
    std::string out;
    out.reserve(raw.size());
    for (char c : raw) {
        const auto decoded = static_cast<unsigned char>(static_cast<unsigned char>(c) - 1);
        if (c == '\0' || decoded == 0)
            break;
        out.push_back(static_cast<char>(decoded));
    }
    return out;
}

std::string shiftLine(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        out.push_back(static_cast<char>(static_cast<unsigned char>(c) + 1));
    return out;
}

} // namespace lumivex::config
