// The capture's per-frame work: decoding, fragment matching and attribution of a known flow.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/CaptureIntake.h"
#include "platform/PacketDecode.h"

namespace {

class InstantOwners : public platform::FlowOwnerSource {
public:
    bool start() override { return true; }
    void stop() override {}
    bool request(const platform::FlowKey& key) override
    {
        m_ready.push_back({key, 42});
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

class CountingSink : public platform::IoEventSink {
public:
    void onNetEvent(const platform::NetEvent&) override { ++events; }
    void onDiskEvent(const platform::DiskEvent&) override {}
    uint64_t events = 0;
};

// A cooked-v1 frame of an outgoing IPv4 packet; fragmentField is the IP flags and offset.
std::vector<uint8_t> frame(uint8_t protocol, uint16_t totalLength, uint16_t ipId, uint16_t fragmentField)
{
    std::vector<uint8_t> f(16 + 20 + 20, 0);
    f[1] = 4;  // outgoing
    f[3] = 1;
    f[14] = 0x08;
    uint8_t* ip = f.data() + 16;
    ip[0] = 0x45;
    ip[2] = uint8_t(totalLength >> 8);
    ip[3] = uint8_t(totalLength);
    ip[4] = uint8_t(ipId >> 8);
    ip[5] = uint8_t(ipId);
    ip[6] = uint8_t(fragmentField >> 8);
    ip[7] = uint8_t(fragmentField);
    ip[9] = protocol;
    const uint8_t addrs[8] = {10, 0, 0, 1, 10, 0, 0, 2};
    std::copy(addrs, addrs + 8, ip + 12);
    uint8_t* l4 = ip + 20;
    l4[0] = 0x9c;
    l4[1] = 0x40;
    l4[3] = 80;
    l4[12] = 0x50;
    l4[13] = 0x10;
    return f;
}

void BM_CaptureIntakeKnownFlow(benchmark::State& state)
{
    InstantOwners owners;
    CountingSink sink;
    platform::FlowAttributor attributor(owners, sink);
    platform::CaptureIntake intake(platform::kLinkLinuxSll, attributor);
    const std::vector<uint8_t> f = frame(6, 1500, 1, 0x4000);
    intake.onFrame(f.data(), f.size(), 16 + 1500, 0, 0);
    attributor.poll(1);
    for (auto _ : state)
        intake.onFrame(f.data(), f.size(), 16 + 1500, 0, 2);
    benchmark::DoNotOptimize(sink.events);
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_CaptureIntakeKnownFlow)->Repetitions(5)->ReportAggregatesOnly(true);

// Six fragments per datagram, a new datagram (IP id) every round.
void BM_CaptureIntakeFragmentedDatagram(benchmark::State& state)
{
    InstantOwners owners;
    CountingSink sink;
    platform::FlowAttributor attributor(owners, sink);
    platform::CaptureIntake intake(platform::kLinkLinuxSll, attributor);
    uint16_t id = 0;
    uint64_t now = 0;
    for (auto _ : state) {
        ++id;
        const std::vector<uint8_t> first = frame(17, 1500, id, 0x2000);
        intake.onFrame(first.data(), first.size(), 16 + 1500, 0, now);
        for (uint16_t k = 1; k < 6; ++k) {
            const std::vector<uint8_t> later = frame(17, 1500, id, uint16_t((k < 5 ? 0x2000 : 0) | k * 185));
            intake.onFrame(later.data(), later.size(), 16 + 1500, 0, now);
        }
        attributor.poll(++now);
    }
    benchmark::DoNotOptimize(sink.events);
    state.SetItemsProcessed(int64_t(state.iterations()) * 6);
}
BENCHMARK(BM_CaptureIntakeFragmentedDatagram)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace
