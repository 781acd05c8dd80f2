#pragma once

#include <cstdint>

namespace history {

// One reading of the two clocks the recorder places traffic in time with: the wall clock
// (ms since 1970, UTC; it may jump) and a steady clock that keeps counting through suspend
// and never jumps (ms since any fixed moment).
struct ClockReading {
    int64_t wallMs = 0;
    int64_t steadyMs = 0;
};

// Where the clocks come from: the system's, or a test's.
class RecorderClock {
public:
    virtual ~RecorderClock() = default;
    virtual ClockReading now() = 0;
};
// The system's clocks. Any thread.
RecorderClock& systemRecorderClock();

// The recording time of one run: the wall clock, checked against the steady clock, so that
// no bucket ever holds traffic from two different moments.
//  - It never goes back: a wall clock set back (by hand, by NTP) is not followed; the steady
//    clock carries the time on from where it was.
//  - It follows the wall clock forward (NTP setting a fresh boot's clock, a clock set ahead):
//    the buckets in between stay empty.
// Differences below kToleranceMs are ordinary clock slewing, not jumps.
class Timeline {
public:
    static constexpr int64_t kToleranceMs = 2000;

    // The recording time (ms since 1970) for a reading.
    int64_t place(const ClockReading& reading);
    // Whether the last place() found the wall clock jumped, and by how much (ms; below 0
    // when it went back).
    bool jumped() const { return m_jumped; }
    int64_t lastJumpMs() const { return m_lastJump; }
    int64_t firstMs() const { return m_first; }
    bool started() const { return m_started; }

private:
    bool m_started = false;
    bool m_jumped = false;
    int64_t m_first = 0;
    int64_t m_time = 0;        // last recording time
    int64_t m_steady = 0;      // steady reading at m_time
    int64_t m_wallOffset = 0;  // wall - recording time at the last reading
    int64_t m_lastJump = 0;
};

} // namespace history
