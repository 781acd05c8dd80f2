#pragma once

#include <pcap/pcap.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <utility>

// What crossed our end of the veth pair, per protocol and local port: IP total lengths and
// packets, index 0 received, 1 sent.
class WireTally {
public:
    struct Flow {
        uint64_t bytes[2] = {0, 0};
        uint64_t packets[2] = {0, 0};
    };

    WireTally() = default;
    WireTally(const WireTally&) = delete;
    WireTally& operator=(const WireTally&) = delete;
    ~WireTally()
    {
        if (m_pcap)
            pcap_close(m_pcap);
    }

    // Captures on interface what the filter lets through; ourAddr (network order) tells sent
    // from received.
    bool open(const std::string& interface, uint32_t ourAddr, const std::string& filter)
    {
        char err[PCAP_ERRBUF_SIZE] = {};
        m_ourAddr = ourAddr;
        m_pcap = pcap_create(interface.c_str(), err);
        if (!m_pcap)
            return false;
        pcap_set_snaplen(m_pcap, 128);
        pcap_set_immediate_mode(m_pcap, 1);
        pcap_set_buffer_size(m_pcap, 16 << 20);
        if (pcap_activate(m_pcap) != 0 || pcap_datalink(m_pcap) != DLT_EN10MB)
            return false;
        bpf_program program{};
        if (pcap_compile(m_pcap, &program, filter.c_str(), 1, PCAP_NETMASK_UNKNOWN) != 0)
            return false;
        const bool filtered = pcap_setfilter(m_pcap, &program) == 0;
        pcap_freecode(&program);
        return filtered && pcap_setnonblock(m_pcap, 1, err) == 0;
    }

    // Takes in everything captured so far.
    void drain()
    {
        while (pcap_dispatch(m_pcap, -1, &WireTally::onPacket, reinterpret_cast<u_char*>(this)) > 0) {
        }
    }

    Flow flow(uint8_t protocol, uint16_t localPort) const
    {
        const auto it = m_flows.find({protocol, localPort});
        return it == m_flows.end() ? Flow{} : it->second;
    }

    // Bytes of every flow of protocol, both ways.
    uint64_t bytes(uint8_t protocol) const
    {
        uint64_t sum = 0;
        for (const auto& [key, f] : m_flows)
            sum += key.first == protocol ? f.bytes[0] + f.bytes[1] : 0;
        return sum;
    }

private:
    static void onPacket(u_char* user, const pcap_pkthdr* h, const u_char* p)
    {
        auto* self = reinterpret_cast<WireTally*>(user);
        if (h->caplen < 14 + 20 + 4)
            return;
        const u_char* ip = p + 14;
        const int ihl = (ip[0] & 0x0F) * 4;
        if (h->caplen < unsigned(14 + ihl + 4))
            return;
        uint32_t source;
        std::memcpy(&source, ip + 12, 4);
        const int sent = source == self->m_ourAddr;
        const u_char* ports = ip + ihl;
        const uint16_t ourPort = uint16_t(sent ? (ports[0] << 8 | ports[1]) : (ports[2] << 8 | ports[3]));
        Flow& f = self->m_flows[{ip[9], ourPort}];
        f.bytes[sent] += unsigned(ip[2] << 8 | ip[3]);
        f.packets[sent] += 1;
    }

    pcap_t* m_pcap = nullptr;
    uint32_t m_ourAddr = 0;
    std::map<std::pair<uint8_t, uint16_t>, Flow> m_flows;
};

