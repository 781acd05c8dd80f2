#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Builds DNS messages and the IPv4/UDP datagrams that carry them, for the parser tests.
class DnsMessageBuilder {
public:
    using Bytes = std::vector<uint8_t>;

    explicit DnsMessageBuilder(uint16_t flags = 0x8180) : m_flags(flags) {}

    // Adds a question; returns the offset of its name in the message.
    int question(const std::string& name, uint16_t type = 1);
    // Adds an answer whose owner is a pointer to offset; returns the offset of its RDATA.
    int answerAt(int ownerOffset, uint16_t type, const Bytes& rdata, uint16_t cls = 1);
    // Adds an answer whose owner is written out in full.
    int answerNamed(const std::string& owner, uint16_t type, const Bytes& rdata, uint16_t cls = 1);

    Bytes message() const;
    int offsetOfNextByte() const { return int(12 + m_body.size()); }

    static Bytes encodeName(const std::string& dotted);
    static Bytes a(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) { return {b0, b1, b2, b3}; }

private:
    void append(const Bytes& b) { m_body.insert(m_body.end(), b.begin(), b.end()); }
    void appendRecordTail(uint16_t type, uint16_t cls, const Bytes& rdata);

    uint16_t m_flags;
    uint16_t m_questions = 0;
    uint16_t m_answers = 0;
    Bytes m_body;
};

// An IPv4 datagram (20-byte header plus optionWords * 4 option bytes) carrying UDP.
// Addresses are given as dotted text; the UDP length is the real one unless udpLength >= 0.
std::vector<uint8_t> udpDatagram(const std::string& src, uint16_t srcPort, const std::string& dst,
                                 uint16_t dstPort, const std::vector<uint8_t>& payload,
                                 int optionWords = 0, int udpLength = -1, uint8_t protocol = 17);

// The query datagram an answer datagram answers: addresses and ports swapped, the answer's id
// and question, the flags of a standard recursive query.
std::vector<uint8_t> queryFor(const std::vector<uint8_t>& answerDatagram);

// A dotted address in network order as it lies in memory.
uint32_t netAddr(const std::string& dotted);
// A dotted address in host order.
uint32_t hostAddr(const std::string& dotted);
