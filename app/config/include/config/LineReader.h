#pragma once

#include <cstddef>
#include <string_view>

namespace lumivex::config {

// Splits a text file held in memory into lines the way a line-buffered reader with a fixed
// buffer sees them: a line ends at LF, a CR right before the LF belongs to the line end, and
// a final line without LF is still a line. A line whose text is longer than maxLength bytes
// ends the reading: next() reports OverLong and nothing after it is returned.
class LineReader {
public:
    enum class Status { Line, End, OverLong };

    LineReader(std::string_view content, std::size_t maxLength);

    // Stores the next line (without its line end) in line and returns Line, or returns End
    // when the content is used up, or OverLong (and from then on End).
    Status next(std::string_view& line);

    // The loop form of next(): true with the next line; false at the end, after setting
    // overLong when an over-long line ended the reading.
    bool nextLine(std::string_view& line, bool& overLong)
    {
        const Status status = next(line);
        if (status == Status::OverLong)
            overLong = true;
        return status == Status::Line;
    }

private:
    std::string_view m_content;
    std::size_t m_maxLength;
    std::size_t m_position = 0;
};

} // namespace lumivex::config
