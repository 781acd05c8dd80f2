// Names from the handshakes local programs send, with no DNS answer on the wire: curl and
// openssl s_client reach a test host by a name given on their command line (as a client that
// resolves over an encrypted channel does), and a QUIC Initial from the published test vectors
// is sent to it. The packet capture's handshake filter takes them, and each address gets the
// name its client asked for, with where it came from.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "TestNetwork.h"
#include "capture/XDNSRecord.h"
#include "capture/XHandshakeNameLearner.h"
#include "hostinfo/XKernelIoTrace.h"
#include "platform/linux/PcapIoEventSource.h"

namespace {

class HandshakeNamesEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string why;
        if (!m_net.create(why))
            GTEST_SKIP() << why;
        ASSERT_GT(m_net.spawnInside({peerProgram(), "tcp-server", "443", "0"}), 0);
        m_trace = std::make_unique<XKernelIoTrace>(platform::createPcapIoEventSource("test"));
        m_trace->learnHandshakeNames(&m_dns);
        m_trace->enableNetEvents();
        m_trace->startTraceThread();
        // The counted events are not looked at here; the ring is kept empty.
        m_pump = std::thread([this] {
            ORVANEPRO_NetIo io;
            while (!m_stopPump)
                if (!m_trace->ring()->popNetIo(&io))
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
        ASSERT_TRUE(waitFor([&] { return m_trace->stats().running; }, 5000)) << "capture did not start";
    }

    void TearDown() override
    {
        m_stopPump = true;
        if (m_pump.joinable())
            m_pump.join();
        if (m_trace)
            m_trace->stopTrace();
    }

    std::string nameOf(const std::string& dotted, XNameSource* source)
    {
        char buf[XDNSRecord::kTextSize] = {};
        return m_dns.getDNSName(ntohl(TestNetwork::netOrder(dotted)), buf, sizeof buf, source) > 0 ? std::string(buf)
                                                                                                   : std::string();
    }

    // Waits until address is named name with source.
    bool named(const std::string& address, const std::string& name, XNameSource source)
    {
        return waitFor(
            [&] {
                XNameSource s = XNameSource::None;
                return nameOf(address, &s) == name && s == source;
            },
            5000);
    }

    TestNetwork m_net;
    XDNSRecord m_dns{""};
    std::unique_ptr<XKernelIoTrace> m_trace;
    std::thread m_pump;
    std::atomic<bool> m_stopPump{false};
};

TEST_F(HandshakeNamesEndToEnd, TlsClientsAndAQuicInitialNameTheirServer)
{
    // curl sends its ClientHello and gives up when no answer comes.
    const pid_t curl = m_net.spawnHere({"curl", "-sk", "-m", "2", "--resolve", "files.lumivex.test:443:" + m_net.peerAddr(),
                                        "https://files.lumivex.test/"});
    m_net.waitExit(curl, 10000);
    EXPECT_TRUE(named(m_net.peerAddr(), "files.lumivex.test", XNameSource::Tls)) << nameOf(m_net.peerAddr(), nullptr);

    const pid_t openssl = m_net.spawnHere({"sh", "-c", "timeout 2 openssl s_client -connect " + m_net.secondPeerAddr() +
                                                           ":443 -servername mail.lumivex.test </dev/null >/dev/null 2>&1"});
    m_net.waitExit(openssl, 10000);
    EXPECT_TRUE(named(m_net.secondPeerAddr(), "mail.lumivex.test", XNameSource::Tls))
        << nameOf(m_net.secondPeerAddr(), nullptr);

    // The client Initial of the published QUIC v1 test vectors, sent to the first host: the
    // newest handshake names it.
    std::ifstream file(LUMIVEX_HANDSHAKE_DIR "/quic_rfc9001_client_initial.bin", std::ios::binary);
    const std::vector<char> initial((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_GT(initial.size(), 1000u);
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(s, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(443);
    to.sin_addr.s_addr = TestNetwork::netOrder(m_net.peerAddr());
    EXPECT_EQ(sendto(s, initial.data(), initial.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
              ssize_t(initial.size()));
    close(s);
    EXPECT_TRUE(named(m_net.peerAddr(), "example.com", XNameSource::Quic)) << nameOf(m_net.peerAddr(), nullptr);

    const XHandshakeStats stats = m_trace->handshakeStats();
    EXPECT_EQ(stats.tlsNames, 2u);
    EXPECT_EQ(stats.quicNames, 1u);
    EXPECT_EQ(stats.badNames + stats.malformed + stats.inFlightFull + stats.incomplete, 0u);
}

} // namespace
