#pragma once

#include <vector>

namespace orvane {

// The history of a chart: a fixed ring of samples. When full, the next sample goes to slot 0
// and the ring counts as wrapped; nothing is ever reallocated.
class ChartRing {
public:
    explicit ChartRing(int capacity);

    void push(double value);
    void clear();

    int capacity() const { return int(m_samples.size()); }
    int writeIndex() const { return m_writeIndex; }
    bool wrapped() const { return m_wrapped; }
    double at(int slot) const { return m_samples[std::size_t(slot)]; }
    bool empty() const { return m_writeIndex == 0 && !m_wrapped; }

    // The slots a chart with room for `room` samples draws, oldest first, newest last.
    struct Span {
        int start = 0;
        int count = 0;
    };
    Span drawn(int room) const;
    // Slot of the i-th sample of a span (continuing at 0 past the end of the ring).
    int slotOf(const Span& span, int i) const { return (span.start + i) % capacity(); }

private:
    std::vector<double> m_samples;
    int m_writeIndex = 0;
    bool m_wrapped = false;
};

} // namespace orvane
