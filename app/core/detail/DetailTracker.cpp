#include "core/detail/DetailTracker.h"

#include "config/ConfigStore.h"
#include "config/TextUtil.h"
#include "core/TrafficModel.h"
#include "core/lists/CellTexts.h"

namespace orvane {

namespace {

std::array<double, kRates> totalsOf(const XTrafficRow& r)
{
    return {r.bytes[0], r.bytes[1], r.packets[0], r.packets[1]};
}

// The text key of where a name came from; null without a name.
const char* nameSourceKey(XNameSource source)
{
    switch (source) {
    case XNameSource::Dns: return "namesrc_dns";
    case XNameSource::Tls: return "namesrc_tls";
    case XNameSource::Quic: return "namesrc_quic";
    case XNameSource::None: break;
    }
    return nullptr;
}

ColoredText plain(std::string text)
{
    return {std::move(text), DetailTracker::kValueColour};
}

ColoredText number(double value)
{
    return formatValue(value, ValueUse::DetailCell);
}

} // namespace

bool DetailTracker::follow(XTrafficKind kind, std::uint32_t address)
{
    if (!validKind(kind))
        return false;
    m_current = kind;
    TrackedAddress& t = m_tracked[std::size_t(kind)];
    if (t.address == address)
        return false;
    t = TrackedAddress{};
    t.address = address;
    return true;
}

void DetailTracker::setKind(XTrafficKind kind)
{
    if (validKind(kind))
        m_current = kind;
}

std::array<CurveSamples, kTrafficKinds> DetailTracker::sample(std::uint32_t elapsedMs, const TrafficModel& model)
{
    std::array<CurveSamples, kTrafficKinds> out{};
    const double elapsed = elapsedMs == 0 ? 1000.0 : double(elapsedMs);
    for (XTrafficKind kind : {kTrafficTcp, kTrafficUdp, kTrafficChat}) {
        TrackedAddress& t = m_tracked[std::size_t(kind)];
        if (t.address == 0)
            continue;
        XTrafficRow current;
        if (!model.itemDataFor(kind, t.address, current))
            continue;  // gone for now: the pane keeps the last figures
        if (t.sampleValid && t.previous.address == current.address) {
            const auto before = totalsOf(t.previous);
            const auto now = totalsOf(current);
            for (int i = 0; i < kRates; ++i) {
                const double rate = (now[std::size_t(i)] - before[std::size_t(i)]) * 1000.0 / elapsed;
                // Totals that went down were cleared in between: no traffic to show.
                t.rates[std::size_t(i)] = rate > 0 ? rate : 0.0;
                if (rate > 0)
                    t.lastNonZero[std::size_t(i)] = rate;
            }
            out[std::size_t(kind)] = {true, t.rates[kRateRecvBytes] + t.rates[kRateSentBytes], t.rates[kRateSentBytes],
                                      t.rates[kRateRecvBytes]};
        } else {
            t.rates = {};
            t.lastNonZero = {};
        }
        // From now on a previous sample of this address exists.
        t.sampleValid = true;
        t.previous = current;
        if (kind != kTrafficChat)
            t.previous.program.clear();
    }
    return out;
}

void DetailTracker::reset()
{
    m_tracked = {};
}

std::array<ColoredText, DetailTracker::kValues> DetailTracker::values(const TrafficModel& model,
                                                                      const CellSources& sources) const
{
    std::array<ColoredText, kValues> v;
    const TrackedAddress& t = m_tracked[std::size_t(m_current)];
    if (t.address == 0) {
        v.fill(plain(" "));
        return v;
    }
    // The engine's record when it still has one, else the last sample.
    XTrafficRow r;
    if (!model.itemDataFor(m_current, t.address, r)) {
        if (t.previous.address == 0) {
            // Not known to this list's counter (yet): only the address.
            v.fill(plain(" "));
            v[0] = plain(dottedAddress(t.address));
            return v;
        }
        r = t.previous;
    }
    const double bytes = r.bytes[0] + r.bytes[1];
    const double packets = r.packets[0] + r.packets[1];
    v[0] = plain(dottedAddress(t.address));
    if (m_current == kTrafficChat) {
        v[1] = plain(r.program.empty() ? " " : lumivex::config::visibleText(sources.chatProgramName(r.program)));
    } else {
        std::string port = sources.portDescription(m_current, r.remotePort);
        v[1] = plain(port.empty() ? formatPort(r.remotePort) : port);
    }
    v[2] = plain(sources.locationOr(t.address));
    v[3] = number(r.bytes[1]);
    v[4] = number(r.bytes[0]);
    v[5] = number(bytes);
    v[6] = number(r.packets[1]);
    v[7] = number(r.packets[0]);
    v[8] = number(packets);
    v[9] = number(packets > 0 ? bytes / packets : 0.0);
    v[10] = number(t.lastNonZero[kRateSentBytes]);
    v[11] = number(t.lastNonZero[kRateRecvBytes]);
    v[12] = number(t.lastNonZero[kRateSentPackets]);
    v[13] = number(t.lastNonZero[kRateRecvPackets]);
    v[14] = plain(formatClockTime(model.wallClockNow(r.lastUpdate)));
    // The host name, and where it came from: a DNS answer, or the handshake the program sent.
    v[15] = plain(r.dnsName.empty() ? " " : lumivex::config::visibleText(r.dnsName));
    const char* sourceKey = nameSourceKey(r.nameSource);
    v[16] = plain(sourceKey ? std::string(lumivex::config::ConfigStore::instance().getText(sourceKey)) : std::string(" "));
    return v;
}

} // namespace orvane
