#include "corekit/Utf8Text.h"

namespace corekit {

std::size_t utf8SequenceLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 1;
}

bool isFormatCharacter(std::uint32_t c)
{
    return c == 0x00AD || c == 0x061C || c == 0x180E || (c >= 0x200B && c <= 0x200F) || (c >= 0x2028 && c <= 0x202E) ||
           (c >= 0x2060 && c <= 0x2064) || (c >= 0x2066 && c <= 0x206F) || c == 0xFEFF || (c >= 0xFFF9 && c <= 0xFFFB) ||
           (c >= 0xE0000 && c <= 0xE007F);
}

std::uint32_t utf8CodePointAt(std::string_view text, std::size_t i, std::size_t& length)
{
    length = 0;
    if (i >= text.size())
        return 0;
    const auto byte = [&](std::size_t k) { return std::uint32_t(static_cast<unsigned char>(text[i + k])); };
    const std::uint32_t c = byte(0);
    if (c < 0x80) {
        length = 1;
        return c;
    }
    const std::size_t n = utf8SequenceLength(static_cast<unsigned char>(c));
    if (n == 1 || i + n > text.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k)
        if ((byte(k) & 0xC0) != 0x80)
            return 0;
    // The second byte's range rules out overlong forms, surrogates and values past U+10FFFF.
    if ((c == 0xE0 && byte(1) < 0xA0) || (c == 0xED && byte(1) > 0x9F) || (c == 0xF0 && byte(1) < 0x90) ||
        (c == 0xF4 && byte(1) > 0x8F))
        return 0;
    length = n;
    switch (n) {
    case 2: return (c & 0x1F) << 6 | (byte(1) & 0x3F);
    case 3: return (c & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);
    default: return (c & 0x07) << 18 | (byte(1) & 0x3F) << 12 | (byte(2) & 0x3F) << 6 | (byte(3) & 0x3F);
    }
}

} // namespace corekit
