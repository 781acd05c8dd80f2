#include "core/charts/ChartRing.h"

#include <algorithm>

namespace orvane {

ChartRing::ChartRing(int capacity) : m_samples(std::size_t(std::max(capacity, 1)), 0.0) {}

void ChartRing::push(double value)
{
    if (m_writeIndex < capacity()) {
        m_samples[std::size_t(m_writeIndex++)] = value;
        return;
    }
    m_samples[0] = value;
    m_writeIndex = 1;
    m_wrapped = true;
}

void ChartRing::clear()
{
    m_writeIndex = 0;
    m_wrapped = false;
}

ChartRing::Span ChartRing::drawn(int room) const
{
    room = std::max(room, 0);
    if (!m_wrapped) {
        const int start = std::max(0, m_writeIndex - room);
        return {start, m_writeIndex - start};
    }
    // A chart with room for the whole ring starts at the oldest sample, so the curve never
    // shows a seam where the newest samples meet the oldest.
    if (room >= capacity())
        return {m_writeIndex % capacity(), capacity()};
    int start = m_writeIndex - room;
    if (start < 0)
        start += capacity();
    return {start, room};
}

} // namespace orvane
