#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace platform {

// One frame of a capture file; data points into the file's bytes.
struct CapturedFrame {
    const uint8_t* data = nullptr;
    size_t caplen = 0;      // bytes stored
    size_t wireLength = 0;  // bytes the frame had on the wire
    int64_t seconds = 0;    // Unix time
    int64_t micros = 0;
};

// Reads a classic pcap capture file held in memory (either byte order, micro- or nanosecond
// stamps): its link type and its frames. False when it is not such a file; a last record cut
// short ends the frames there.
bool parseCaptureFile(std::string_view bytes, int& linkType, std::vector<CapturedFrame>& frames);

} // namespace platform
