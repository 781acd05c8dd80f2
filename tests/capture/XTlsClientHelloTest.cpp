#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "HandshakeBuilder.h"
#include "capture/XServerNameCheck.h"
#include "capture/XTlsClientHello.h"

namespace {

using handshake::Bytes;
using handshake::clientHello;
using handshake::extension;
using handshake::operator+;
using handshake::serverNameExtension;
using handshake::tlsRecords;

// Exactly size bytes of data on the heap, so a read past them is caught under ASan.
XClientHelloName parse(const Bytes& data, size_t size = SIZE_MAX)
{
    const Bytes copy(data.begin(), data.begin() + long(std::min(size, data.size())));
    return parseTlsClientHello(copy.data(), copy.size());
}

Bytes with(Bytes b, size_t at, uint8_t value)
{
    b.at(at) = value;
    return b;
}

struct Recording {
    const char* file;
    const char* name;
    bool ech;
};

const Recording kRecordings[] = {
    {"tls_curl.bin", "files.lumivex.test", false},
    {"tls_openssl_s_client.bin", "mail.lumivex.test", false},
    {"tls_chromium_sni_early.bin", "www.lumivex.test", true},
    {"tls_chromium_sni_late.bin", "www.lumivex.test", true},
};

TEST(TlsClientHello, RecordedClientsNameTheirServer)
{
    for (const Recording& r : kRecordings) {
        const XClientHelloName hello = parse(handshake::recorded(r.file));
        EXPECT_EQ(hello.status, XServerNameStatus::Found) << r.file;
        EXPECT_EQ(hello.serverName, r.name) << r.file;
        EXPECT_EQ(hello.ech, r.ech) << r.file;
    }
}

// Every cut of a recording is Truncated until it holds the whole name, and Found from there
// on: a first segment of 1 500 bytes names the server only when the client put the name there.
TEST(TlsClientHello, CutInputIsTruncatedUntilTheNameIsWhole)
{
    for (const Recording& r : kRecordings) {
        const Bytes data = handshake::recorded(r.file);
        const std::string name = r.name;
        const auto at = std::search(data.begin(), data.end(), name.begin(), name.end());
        ASSERT_NE(at, data.end());
        const size_t nameEnd = size_t(at - data.begin()) + name.size();
        for (size_t size = 0; size < data.size(); ++size) {
            const XClientHelloName hello = parse(data, size);
            if (size < nameEnd) {
                ASSERT_EQ(hello.status, XServerNameStatus::Truncated) << r.file << " cut at " << size;
                ASSERT_TRUE(hello.serverName.empty());
            } else {
                ASSERT_EQ(hello.status, XServerNameStatus::Found) << r.file << " cut at " << size;
                ASSERT_EQ(hello.serverName, name);
            }
        }
    }
    EXPECT_EQ(parse(handshake::recorded("tls_chromium_sni_early.bin"), 1500).status, XServerNameStatus::Found);
    EXPECT_EQ(parse(handshake::recorded("tls_chromium_sni_late.bin"), 1500).status, XServerNameStatus::Truncated);
}

TEST(TlsClientHello, HelloSplitOverRecordsIsJoined)
{
    const Bytes message = clientHello({extension(0x002b, {0x02, 0x03, 0x04}), serverNameExtension("a.test")});
    for (const size_t fragment : {size_t(1), size_t(3), size_t(50)}) {
        const XClientHelloName hello = parse(tlsRecords(message, fragment));
        EXPECT_EQ(hello.status, XServerNameStatus::Found) << fragment;
        EXPECT_EQ(hello.serverName, "a.test");
    }
    // What follows a whole hello (here a ChangeCipherSpec) is not looked at; a record of
    // another type inside the hello breaks it.
    const Bytes ccs{0x14, 0x03, 0x03, 0x00, 0x01, 0x01};
    EXPECT_EQ(parse(tlsRecords(message) + ccs).status, XServerNameStatus::Found);
    const Bytes split = tlsRecords(message, 20);
    Bytes broken(split.begin(), split.begin() + 25);
    broken = broken + ccs + Bytes(split.begin() + 25, split.end());
    EXPECT_EQ(parse(broken).status, XServerNameStatus::Malformed);
}

TEST(TlsClientHello, InconsistentLengthsAreMalformed)
{
    const Bytes message = clientHello({serverNameExtension("a.test"), extension(0x0015, Bytes(10, 0))});
    const Bytes record = tlsRecords(message);
    ASSERT_EQ(parse(record).status, XServerNameStatus::Found);
    const size_t m = 5;  // the message starts after the record header
    const size_t sni = m + handshake::kFirstExtension;
    const std::vector<std::pair<const char*, Bytes>> cases = {
        {"record length 0", with(with(record, 3, 0), 4, 0)},
        {"record longer than 16384", with(record, 3, 0x40)},
        {"message longer than its record, then other bytes", with(record, m + 3, uint8_t(message[3] + 1)) + Bytes{0x17, 3, 3, 0, 1, 0}},
        {"extensions block shorter than the rest", with(record, m + handshake::kExtensionsLength + 1, uint8_t(message[handshake::kExtensionsLength + 1] - 1))},
        {"extensions block longer than the rest", with(record, m + handshake::kExtensionsLength + 1, uint8_t(message[handshake::kExtensionsLength + 1] + 1))},
        {"extension past its block", with(record, sni + 3 + 11 + 4, 0x20)},
        {"name list shorter than its extension", with(record, sni + 5, uint8_t(record[sni + 5] - 1))},
        {"name longer than its list", with(record, sni + 8, uint8_t(record[sni + 8] + 1))},
        {"name of another type", with(record, sni + 6, 0x01)},
        {"session id of 33 bytes", with(record, m + 4 + 34, 33)},
        {"odd cipher-suite length", with(record, m + 4 + 36, 0x03)},
    };
    for (const auto& [what, input] : cases) {
        const XClientHelloName hello = parse(input);
        EXPECT_EQ(hello.status, XServerNameStatus::Malformed) << what;
        EXPECT_TRUE(hello.serverName.empty()) << what;
    }
    const Bytes twice = tlsRecords(clientHello({serverNameExtension("a.test"), serverNameExtension("b.test")}));
    EXPECT_EQ(parse(twice).status, XServerNameStatus::Malformed);
}

TEST(TlsClientHello, SaysWhyThereIsNoName)
{
    EXPECT_EQ(parse(tlsRecords(clientHello({}, false))).status, XServerNameStatus::NoServerName);
    // GREASE and unknown extensions are stepped over; an ECH extension is reported.
    const XClientHelloName noName =
        parse(tlsRecords(clientHello({extension(0x0a0a, {}), extension(0xfe0d, {0x00, 0x01}), extension(0x0015, Bytes(5, 0))})));
    EXPECT_EQ(noName.status, XServerNameStatus::NoServerName);
    EXPECT_TRUE(noName.ech);

    const Bytes hello = tlsRecords(clientHello({serverNameExtension("a.test")}));
    EXPECT_EQ(parse(with(hello, 0, 0x17)).status, XServerNameStatus::NotClientHello);  // application data
    EXPECT_EQ(parse(with(hello, 5, 0x02)).status, XServerNameStatus::NotClientHello);  // a ServerHello
    EXPECT_EQ(parse({0x80, 0x2e, 0x01, 0x00, 0x02}).status, XServerNameStatus::NotClientHello);  // SSL 2
    EXPECT_EQ(parse({}).status, XServerNameStatus::Truncated);
    EXPECT_EQ(parse(Bytes{0x16, 0x03}).status, XServerNameStatus::Truncated);

    const XClientHelloName bad = parse(tlsRecords(clientHello({serverNameExtension(std::string("a\x1b[2J.test"))})));
    EXPECT_EQ(bad.status, XServerNameStatus::BadName);
    EXPECT_TRUE(bad.serverName.empty());
}

TEST(TlsClientHello, MessageWithoutRecordLayer)
{
    const Bytes message = clientHello({serverNameExtension("quic.lumivex.test")});
    EXPECT_EQ(parseClientHelloMessage(message.data(), message.size()).serverName, "quic.lumivex.test");
    EXPECT_EQ(parseClientHelloMessage(message.data(), 20).status, XServerNameStatus::Truncated);
    EXPECT_EQ(parseClientHelloMessage(nullptr, 0).status, XServerNameStatus::Truncated);
}

TEST(ServerNameCheck, AcceptsOnlyWholeDnsHostNames)
{
    const std::string label63(63, 'a');
    const std::string longest = label63 + "." + label63 + "." + label63 + "." + std::string(61, 'b');
    ASSERT_EQ(longest.size(), 253u);
    for (const std::string& good : {std::string("example.com"), std::string("x"), std::string("_dmarc.a-b.test"),
                                    std::string("XN--BCHER-KVA.example"), longest, label63})
        EXPECT_TRUE(isAcceptableServerName(good)) << good;
    for (const std::string& bad :
         {std::string(), longest + "b", label63 + "a", std::string("example.com."), std::string(".example"),
          std::string("a..b"), std::string("a b"), std::string("a\0b", 3), std::string("a\x7f"),
          std::string("b\xc3\xbc" "cher.de"), std::string("a\xe2\x80\x8b" "b"), std::string("a/b"), std::string("a:443")})
        EXPECT_FALSE(isAcceptableServerName(bad)) << bad;
}

}  // namespace
