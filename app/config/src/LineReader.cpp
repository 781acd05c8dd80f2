#include "config/LineReader.h"

namespace lumivex::config {

LineReader::LineReader(std::string_view content, std::size_t maxLength)
    : m_content(content), m_maxLength(maxLength)
{
}

LineReader::Status LineReader::next(std::string_view& line)
{
    if (m_position >= m_content.size())
        return Status::End;
    const std::size_t start = m_position;
    std::size_t end = m_content.find('\n', start);
    if (end == std::string_view::npos) {
        end = m_content.size();
        m_position = end;
    } else {
        m_position = end + 1;
    }
    std::string_view text = m_content.substr(start, end - start);
    if (!text.empty() && text.back() == '\r')
        text.remove_suffix(1);
    if (text.size() > m_maxLength) {
        m_position = m_content.size();
        return Status::OverLong;
    }
    line = text;
    return Status::Line;
}

} // namespace lumivex::config
