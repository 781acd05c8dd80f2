#include "history/Timeline.h"

#include <chrono>
#include <cstdlib>

#include "platform/Clock.h"

namespace history {

namespace {

class SystemClock : public RecorderClock {
public:
    ClockReading now() override
    {
        using namespace std::chrono;
        ClockReading r;
        r.wallMs = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
        r.steadyMs = int64_t(platform::steadyMsWithSuspend());
        return r;
    }
};

} // namespace

RecorderClock& systemRecorderClock()
{
    static SystemClock clock;
    return clock;
}

int64_t Timeline::place(const ClockReading& reading)
{
    m_jumped = false;
    if (!m_started) {
        m_started = true;
        m_first = m_time = reading.wallMs;
        m_steady = reading.steadyMs;
        m_wallOffset = 0;
        return m_time;
    }
    const int64_t elapsed = reading.steadyMs > m_steady ? reading.steadyMs - m_steady : 0;
    const int64_t expected = m_time + elapsed;
    // Where the wall clock stands against the recording time, compared with the last
    // reading: a change beyond the tolerance is a jump (counted once, not on every reading
    // while the clock stays behind).
    const int64_t offset = reading.wallMs - expected;
    const int64_t change = offset - m_wallOffset;
    if (std::llabs(change) > kToleranceMs) {
        m_jumped = true;
        m_lastJump = change;
    }
    int64_t next = expected;
    if (offset > -kToleranceMs)
        next = reading.wallMs;  // on time, slewing, or jumped ahead: follow the wall clock
    if (next < m_time)
        next = m_time;
    m_time = next;
    m_steady = reading.steadyMs;
    m_wallOffset = reading.wallMs - m_time;
    return m_time;
}

} // namespace history
