#include "DnsMessageBuilder.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#endif
#include <algorithm>
#include <cstring>
#include <sstream>

int DnsMessageBuilder::question(const std::string& name, uint16_t type)
{
    const int offset = offsetOfNextByte();
    append(encodeName(name));
    append({uint8_t(type >> 8), uint8_t(type), 0, 1});
    ++m_questions;
    return offset;
}

void DnsMessageBuilder::appendRecordTail(uint16_t type, uint16_t cls, const Bytes& rdata)
{
    append({uint8_t(type >> 8), uint8_t(type), uint8_t(cls >> 8), uint8_t(cls), 0, 0, 0x0e, 0x10,
            uint8_t(rdata.size() >> 8), uint8_t(rdata.size())});
    append(rdata);
    ++m_answers;
}

int DnsMessageBuilder::answerAt(int ownerOffset, uint16_t type, const Bytes& rdata, uint16_t cls)
{
    append({uint8_t(0xC0 | (ownerOffset >> 8)), uint8_t(ownerOffset)});
    appendRecordTail(type, cls, rdata);
    return offsetOfNextByte() - int(rdata.size());
}

int DnsMessageBuilder::answerNamed(const std::string& owner, uint16_t type, const Bytes& rdata, uint16_t cls)
{
    append(encodeName(owner));
    appendRecordTail(type, cls, rdata);
    return offsetOfNextByte() - int(rdata.size());
}

DnsMessageBuilder::Bytes DnsMessageBuilder::message() const
{
    Bytes m = {0x12, 0x34, uint8_t(m_flags >> 8), uint8_t(m_flags), uint8_t(m_questions >> 8),
               uint8_t(m_questions), uint8_t(m_answers >> 8), uint8_t(m_answers), 0, 0, 0, 0};
    m.insert(m.end(), m_body.begin(), m_body.end());
    return m;
}

DnsMessageBuilder::Bytes DnsMessageBuilder::encodeName(const std::string& dotted)
{
    Bytes out;
    std::stringstream in(dotted);
    std::string label;
    while (std::getline(in, label, '.')) {
        out.push_back(uint8_t(label.size()));
        out.insert(out.end(), label.begin(), label.end());
    }
    out.push_back(0);
    return out;
}

uint32_t netAddr(const std::string& dotted)
{
    in_addr a{};
    inet_pton(AF_INET, dotted.c_str(), &a);
    return a.s_addr;
}

uint32_t hostAddr(const std::string& dotted)
{
    return ntohl(netAddr(dotted));
}

std::vector<uint8_t> udpDatagram(const std::string& src, uint16_t srcPort, const std::string& dst,
                                 uint16_t dstPort, const std::vector<uint8_t>& payload,
                                 int optionWords, int udpLength, uint8_t protocol)
{
    const int h = 20 + optionWords * 4;
    std::vector<uint8_t> d(size_t(h), 0);
    d[0] = uint8_t(0x40 | (h / 4));
    const size_t total = size_t(h) + 8 + payload.size();
    d[2] = uint8_t(total >> 8);
    d[3] = uint8_t(total);
    d[8] = 64;
    d[9] = protocol;
    const uint32_t s = netAddr(src);
    const uint32_t t = netAddr(dst);
    std::memcpy(&d[12], &s, 4);
    std::memcpy(&d[16], &t, 4);
    const int ul = udpLength >= 0 ? udpLength : int(8 + payload.size());
    const uint8_t udp[8] = {uint8_t(srcPort >> 8), uint8_t(srcPort), uint8_t(dstPort >> 8), uint8_t(dstPort),
                            uint8_t(ul >> 8), uint8_t(ul), 0, 0};
    d.insert(d.end(), udp, udp + 8);
    d.insert(d.end(), payload.begin(), payload.end());
    return d;
}

std::vector<uint8_t> queryFor(const std::vector<uint8_t>& answer)
{
    const size_t h = size_t(answer.at(0) & 0x0F) * 4;
    const size_t dns = h + 8;
    size_t end = dns + 12;  // past the question: its name where it lies, type and class
    while (end < answer.size() && answer[end] != 0)
        end += answer[end] + 1u;
    end = std::min(end + 5, answer.size());
    std::vector<uint8_t> message(answer.begin() + long(dns), answer.begin() + long(end));
    message[2] = 0x01;  // a query, recursion desired
    message[3] = 0x00;
    message[6] = message[7] = 0;
    char src[16], dst[16];
    inet_ntop(AF_INET, &answer[12], src, sizeof src);
    inet_ntop(AF_INET, &answer[16], dst, sizeof dst);
    const uint16_t serverPort = uint16_t(answer[h] << 8 | answer[h + 1]);
    const uint16_t localPort = uint16_t(answer[h + 2] << 8 | answer[h + 3]);
    return udpDatagram(dst, localPort, src, serverPort, message);
}
