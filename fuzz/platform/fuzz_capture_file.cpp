// Whole capture files (classic pcap) through the capture's decoding, fragment matching and
// flow attribution, with an owner source that answers every lookup at once.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/CaptureFile.h"
#include "platform/CaptureIntake.h"

namespace {

class InstantOwners : public platform::FlowOwnerSource {
public:
    bool start() override { return true; }
    void stop() override {}
    bool request(const platform::FlowKey& key) override
    {
        if (m_ready.size() > 4096)
            return false;
        m_ready.push_back({key, key.localPort});
        return true;
    }
    void takeAnswers(std::vector<platform::FlowOwnerAnswer>& out) override
    {
        out.insert(out.end(), m_ready.begin(), m_ready.end());
        m_ready.clear();
    }

private:
    std::vector<platform::FlowOwnerAnswer> m_ready;
};

class CheckingSink : public platform::IoEventSink {
public:
    void onNetEvent(const platform::NetEvent& e) override
    {
        if (e.size > m_largestFrame || e.size == 0)
            __builtin_trap();  // an event claims more than any frame carried
        ++m_events;
    }
    void onDiskEvent(const platform::DiskEvent&) override {}
    size_t m_largestFrame = 0;
    size_t m_events = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1 << 20))
        return 0;
    int link = 0;
    std::vector<platform::CapturedFrame> frames;
    if (!platform::parseCaptureFile(std::string_view(reinterpret_cast<const char*>(data), size), link, frames))
        return 0;
    InstantOwners owners;
    CheckingSink sink;
    platform::FlowAttributor attributor(owners, sink);
    platform::CaptureIntake intake(link, attributor);
    uint64_t nowMs = 0;
    for (const platform::CapturedFrame& f : frames) {
        if (f.data < data || f.data + f.caplen > data + size)
            __builtin_trap();
        // Each frame in a buffer of its own size, so a read past it is caught.
        const std::vector<uint8_t> frame(f.data, f.data + f.caplen);
        sink.m_largestFrame = std::max(sink.m_largestFrame, std::max(f.wireLength, f.caplen));
        intake.onFrame(frame.data(), frame.size(), f.wireLength, 0, nowMs);
        nowMs += f.micros % 2000;  // time moves on unevenly: lookups, fragments and flows expire
        attributor.poll(nowMs);
    }
    attributor.flush();
    if (sink.m_events > intake.stats().packets)
        __builtin_trap();
    return 0;
}
