#include "platform/CaptureFile.h"

#include <cstring>

namespace platform {

namespace {

constexpr uint32_t kMagicMicros = 0xA1B2C3D4;
constexpr uint32_t kMagicNanos = 0xA1B23C4D;
constexpr size_t kFileHeader = 24;
constexpr size_t kRecordHeader = 16;

uint32_t swap32(uint32_t v)
{
    return (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24);
}

} // namespace

bool parseCaptureFile(std::string_view bytes, int& linkType, std::vector<CapturedFrame>& frames)
{
    frames.clear();
    if (bytes.size() < kFileHeader)
        return false;
    const auto* base = reinterpret_cast<const uint8_t*>(bytes.data());
    uint32_t magic;
    std::memcpy(&magic, base, 4);
    bool swapped = false;
    if (magic == swap32(kMagicMicros) || magic == swap32(kMagicNanos)) {
        swapped = true;
        magic = swap32(magic);
    }
    if (magic != kMagicMicros && magic != kMagicNanos)
        return false;
    const auto field = [&](size_t offset) {
        uint32_t v;
        std::memcpy(&v, base + offset, 4);
        return swapped ? swap32(v) : v;
    };
    linkType = int(field(20) & 0x0FFFFFFF);  // the upper bits carry FCS information
    const uint32_t fraction = magic == kMagicNanos ? 1000 : 1;
    for (size_t pos = kFileHeader; bytes.size() - pos >= kRecordHeader;) {
        const uint32_t caplen = field(pos + 8);
        if (caplen > bytes.size() - pos - kRecordHeader)
            break;
        CapturedFrame frame;
        frame.seconds = field(pos);
        frame.micros = field(pos + 4) / fraction;
        frame.caplen = caplen;
        frame.wireLength = field(pos + 12);
        frame.data = base + pos + kRecordHeader;
        frames.push_back(frame);
        pos += kRecordHeader + caplen;
    }
    return true;
}

} // namespace platform
