#include "capture/XServerNameCheck.h"

namespace {

bool isNameCharacter(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
}

}  // namespace

bool isAcceptableServerName(std::string_view name)
{
    if (name.empty() || name.size() > size_t(kMaxServerNameLength))
        return false;
    int label = 0;
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '.') {
            if (label == 0)
                return false;
            label = 0;
        } else if (!isNameCharacter(c) || ++label > kMaxServerNameLabel) {
            return false;
        }
    }
    return label > 0;
}
