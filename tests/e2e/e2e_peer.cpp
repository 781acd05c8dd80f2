// Traffic sources and sinks for the end-to-end tests, run as separate processes so the engine
// has real programs to attribute traffic to.
//   e2e_peer tcp-server PORT REPLY_BYTES     accept; read until EOF; send REPLY_BYTES; close
//   e2e_peer udp-echo PORT                   echo every datagram back to its sender
//   e2e_peer udp-sink PORT                   receive every datagram, answer none
//   e2e_peer tcp-client ADDR PORT BYTES HOLD_MS   connect, send, stay connected until HOLD_MS
//                                                 after connecting, then end and read the reply
//   e2e_peer udp-client ADDR PORT SIZE COUNT HOLD_MS   send COUNT datagrams, wait for each
//                                                 echo, keep the socket HOLD_MS after opening it
//   e2e_peer udp-handoff ADDR PORT SIZE           one exchange on a connected socket, then
//                                                 a child process takes the socket over for
//                                                 four more; prints "child PID" before them
//   e2e_peer write-file PATH BYTES HOLD_MS        write, fsync, stay alive HOLD_MS
//   e2e_peer dns-server ADDR CNAME               answer every A query on port 53 with
//                                                 QNAME CNAME CNAME, CNAME A ADDR (compressed)
//   e2e_peer dns-forge FROM TO PORT NAME RECORDS RATE SECONDS
//                                                 send answers nobody asked for, from FROM:53 to
//                                                 TO:PORT, RATE a second for SECONDS: NAME with
//                                                 RECORDS address records each, every address
//                                                 a new one; prints "ready", then "sent N"
//   e2e_peer dns-flood-server RECORDS            answer every query on port 53 with its
//                                                 question and RECORDS address records, every
//                                                 address a new one
//   e2e_peer dns-ask SERVER RATE SECONDS          ask SERVER:53 for the address of a new name,
//                                                 RATE a second for SECONDS, reading the
//                                                 answers; prints "sent N answered M"
// Clients print "port P" (their local port) once connected and "done" when finished; every
// mode exits non-zero on failure.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

sockaddr_in endpoint(const char* addr, int port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    inet_pton(AF_INET, addr, &a.sin_addr);
    return a;
}

void setTimeout(int fd, int seconds)
{
    timeval tv{seconds, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

bool sendAll(int fd, size_t bytes)
{
    std::vector<char> chunk(16384, 'x');
    while (bytes > 0) {
        const ssize_t n = send(fd, chunk.data(), std::min(bytes, chunk.size()), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        bytes -= size_t(n);
    }
    return true;
}

void sleepMs(long ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void printLocalPort(int fd)
{
    sockaddr_in local{};
    socklen_t len = sizeof local;
    getsockname(fd, reinterpret_cast<sockaddr*>(&local), &len);
    std::printf("port %d\n", ntohs(local.sin_port));
    std::fflush(stdout);
}

int tcpServer(int port, size_t reply)
{
    const int l = socket(AF_INET, SOCK_STREAM, 0);
    const int one = 1;
    setsockopt(l, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a = endpoint("0.0.0.0", port);
    if (bind(l, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(l, 64) != 0)
        return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) {
        const int c = accept(l, nullptr, nullptr);
        if (c < 0)
            continue;
        std::thread([c, reply] {
            setTimeout(c, 10);
            char buf[65536];
            while (recv(c, buf, sizeof buf, 0) > 0) {
            }
            sendAll(c, reply);
            close(c);
        }).detach();
    }
}

int udpServer(int port, bool echo)
{
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a = endpoint("0.0.0.0", port);
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
        return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    char buf[65536];
    for (;;) {
        sockaddr_in from{};
        socklen_t len = sizeof from;
        const ssize_t n = recvfrom(s, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n >= 0 && echo)
            sendto(s, buf, size_t(n), 0, reinterpret_cast<sockaddr*>(&from), len);
    }
}

int tcpClient(const char* addr, int port, size_t bytes, long holdMs)
{
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    setTimeout(s, 10);
    sockaddr_in a = endpoint(addr, port);
    if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
        return 1;
    const auto opened = std::chrono::steady_clock::now();
    printLocalPort(s);
    if (!sendAll(s, bytes))
        return 1;
    std::this_thread::sleep_until(opened + std::chrono::milliseconds(holdMs));
    shutdown(s, SHUT_WR);
    char buf[65536];
    while (recv(s, buf, sizeof buf, 0) > 0) {
    }
    close(s);
    std::printf("done\n");
    return 0;
}

bool exchange(int s, std::vector<char>& buf, size_t size)
{
    return send(s, buf.data(), size, 0) == ssize_t(size) && recv(s, buf.data(), buf.size(), 0) == ssize_t(size);
}

int udpHandoff(const char* addr, int port, size_t size)
{
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    setTimeout(s, 2);
    sockaddr_in a = endpoint(addr, port);
    if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
        return 1;
    printLocalPort(s);
    std::vector<char> buf(std::max<size_t>(size, 65536), 'h');
    if (!exchange(s, buf, size))
        return 1;
    const pid_t child = fork();
    if (child < 0)
        return 1;
    if (child == 0) {
        for (int i = 0; i < 4; ++i)
            if (!exchange(s, buf, size))
                _exit(1);
        _exit(0);
    }
    std::printf("child %d\n", int(child));
    std::fflush(stdout);
    int status = 0;
    waitpid(child, &status, 0);
    close(s);
    std::printf("done\n");
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}

int udpClient(const char* addr, int port, size_t size, int count, long holdMs)
{
    const auto opened = std::chrono::steady_clock::now();
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    setTimeout(s, 2);
    sockaddr_in a = endpoint(addr, port);
    if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
        return 1;
    printLocalPort(s);
    std::vector<char> buf(std::max<size_t>(size, 65536), 'u');
    for (int i = 0; i < count; ++i) {
        if (send(s, buf.data(), size, 0) != ssize_t(size))
            return 1;
        if (recv(s, buf.data(), buf.size(), 0) != ssize_t(size))
            return 1;
    }
    std::this_thread::sleep_until(opened + std::chrono::milliseconds(holdMs));
    close(s);
    std::printf("done\n");
    return 0;
}

int writeFile(const char* path, size_t bytes, long holdMs)
{
    const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        return 1;
    std::vector<char> chunk(1 << 20, 'd');
    for (size_t left = bytes; left > 0;) {
        const ssize_t n = write(fd, chunk.data(), std::min(left, chunk.size()));
        if (n <= 0)
            return 1;
        left -= size_t(n);
    }
    fsync(fd);
    close(fd);
    std::printf("done\n");
    std::fflush(stdout);
    sleepMs(holdMs);
    return 0;
}

// Appends name as DNS labels; when the last label equals the label at suffixAt, ends with a
// pointer to it instead.
void appendName(std::string& out, const std::string& name, size_t suffixAt, const std::string& suffix)
{
    size_t start = 0;
    while (start < name.size()) {
        const size_t dot = name.find('.', start);
        const std::string label = name.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        if (dot == std::string::npos && label == suffix) {
            out += char(0xC0 | (suffixAt >> 8));
            out += char(suffixAt & 0xFF);
            return;
        }
        out += char(label.size());
        out += label;
        if (dot == std::string::npos)
            break;
        start = dot + 1;
    }
    out += '\0';
}

void appendU16(std::string& out, unsigned v)
{
    out += char(v >> 8);
    out += char(v & 0xFF);
}

int dnsServer(const char* addr, const std::string& cname)
{
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a = endpoint("0.0.0.0", 53);
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
        return 1;
    in_addr target{};
    inet_pton(AF_INET, addr, &target);
    std::printf("ready\n");
    std::fflush(stdout);
    unsigned char query[512];
    for (;;) {
        sockaddr_in from{};
        socklen_t len = sizeof from;
        const ssize_t n = recvfrom(s, query, sizeof query, 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n < 17)
            continue;
        // The question: name labels from offset 12, then type and class.
        size_t pos = 12, lastLabel = 12;
        while (pos < size_t(n) && query[pos] != 0) {
            lastLabel = pos;
            pos += query[pos] + 1u;
        }
        if (pos + 5 > size_t(n))
            continue;
        const size_t questionEnd = pos + 5;
        const std::string lastLabelText(reinterpret_cast<char*>(query) + lastLabel + 1, query[lastLabel]);

        std::string reply(reinterpret_cast<char*>(query), questionEnd);
        reply[2] = char(0x81);  // response, recursion desired
        reply[3] = char(0x80);  // recursion available
        reply[6] = 0;
        reply[7] = 2;  // two answers
        reply[8] = reply[9] = reply[10] = reply[11] = 0;
        // QNAME CNAME cname: owner points at the question, the alias ends in a pointer to
        // the question's last label.
        appendU16(reply, 0xC00C);
        appendU16(reply, 5);
        appendU16(reply, 1);
        appendU16(reply, 0);
        appendU16(reply, 60);
        std::string alias;
        appendName(alias, cname, lastLabel, lastLabelText);
        appendU16(reply, unsigned(alias.size()));
        const size_t aliasAt = reply.size();
        reply += alias;
        // cname A addr: owner points at the alias.
        appendU16(reply, 0xC000 | unsigned(aliasAt));
        appendU16(reply, 1);
        appendU16(reply, 1);
        appendU16(reply, 0);
        appendU16(reply, 60);
        appendU16(reply, 4);
        reply.append(reinterpret_cast<const char*>(&target.s_addr), 4);
        sendto(s, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), len);
    }
}

uint16_t ipChecksum(const unsigned char* header, size_t length)
{
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < length; i += 2)
        sum += uint32_t(header[i] << 8 | header[i + 1]);
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return uint16_t(~sum);
}

int dnsForge(const char* from, const char* to, int port, const std::string& name, int records, long rate, long seconds)
{
    // A raw socket with its own IP header: the answers leave from port 53 while the DNS
    // responder holds that port.
    const int s = socket(AF_INET, SOCK_RAW, IPPROTO_RAW);
    if (s < 0 || records < 1 || records > 90 || rate < 1 || seconds < 1)
        return 1;
    const sockaddr_in dest = endpoint(to, port);
    const sockaddr_in source = endpoint(from, 53);
    std::string dns(12, '\0');
    dns[2] = char(0x81);
    dns[3] = char(0x80);
    dns[5] = 1;
    dns[7] = char(records);
    appendName(dns, name, 0, "");
    appendU16(dns, 1);
    appendU16(dns, 1);
    const size_t firstRecord = dns.size();
    for (int r = 0; r < records; ++r) {
        appendU16(dns, 0xC00C);
        appendU16(dns, 1);
        appendU16(dns, 1);
        appendU16(dns, 0);
        appendU16(dns, 300);
        appendU16(dns, 4);
        dns.append(4, '\0');
    }
    std::string packet(28, '\0');
    packet += dns;
    auto* ip = reinterpret_cast<unsigned char*>(packet.data());
    ip[0] = 0x45;
    ip[2] = uint8_t(packet.size() >> 8);
    ip[3] = uint8_t(packet.size());
    ip[8] = 64;
    ip[9] = 17;
    std::memcpy(ip + 12, &source.sin_addr, 4);
    std::memcpy(ip + 16, &dest.sin_addr, 4);
    ip[20] = 0;
    ip[21] = 53;
    std::memcpy(ip + 22, &dest.sin_port, 2);
    ip[24] = uint8_t((packet.size() - 20) >> 8);
    ip[25] = uint8_t(packet.size() - 20);
    std::printf("ready\n");
    std::fflush(stdout);

    const auto start = std::chrono::steady_clock::now();
    const long total = rate * seconds;
    uint32_t address = 0x64400000;  // 100.64.0.0: a new address for every record
    long sent = 0;
    while (sent < total) {
        const long due = long(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() * double(rate));
        if (due <= sent) {
            sleepMs(1);
            continue;
        }
        for (; sent < std::min(due, total); ++sent) {
            ip[4] = uint8_t(sent >> 8);
            ip[5] = uint8_t(sent);
            ip[28] = uint8_t(sent >> 8);  // the DNS id
            ip[29] = uint8_t(sent);
            for (int r = 0; r < records; ++r) {
                const uint32_t a = htonl(address++);
                std::memcpy(ip + 28 + firstRecord + size_t(r) * 16 + 12, &a, 4);
            }
            ip[10] = ip[11] = 0;
            const uint16_t sum = ipChecksum(ip, 20);
            ip[10] = uint8_t(sum >> 8);
            ip[11] = uint8_t(sum);
            sendto(s, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&dest), sizeof dest);
        }
    }
    std::printf("sent %ld\n", sent);
    std::fflush(stdout);
    close(s);
    return 0;
}

int dnsFloodServer(int records)
{
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a = endpoint("0.0.0.0", 53);
    if (records < 1 || records > 90 || bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
        return 1;
    const int buffer = 4 << 20;
    setsockopt(s, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    setsockopt(s, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    std::printf("ready\n");
    std::fflush(stdout);
    uint32_t address = 0x64400000;  // 100.64.0.0: a new address for every record
    unsigned char query[512];
    for (;;) {
        sockaddr_in from{};
        socklen_t len = sizeof from;
        const ssize_t n = recvfrom(s, query, sizeof query, 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n < 17)
            continue;
        size_t pos = 12;
        while (pos < size_t(n) && query[pos] != 0)
            pos += query[pos] + 1u;
        if (pos + 5 > size_t(n))
            continue;
        std::string reply(reinterpret_cast<char*>(query), pos + 5);
        reply[2] = char(0x81);
        reply[3] = char(0x80);
        reply[6] = 0;
        reply[7] = char(records);
        reply[8] = reply[9] = reply[10] = reply[11] = 0;
        for (int r = 0; r < records; ++r) {
            appendU16(reply, 0xC00C);  // the question's name
            appendU16(reply, 1);
            appendU16(reply, 1);
            appendU16(reply, 0);
            appendU16(reply, 300);
            appendU16(reply, 4);
            const uint32_t record = htonl(address++);
            reply.append(reinterpret_cast<const char*>(&record), 4);
        }
        sendto(s, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), len);
    }
}

int dnsAsk(const char* server, long rate, long seconds)
{
    const int s = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    const sockaddr_in to = endpoint(server, 53);
    if (rate < 1 || seconds < 1 || connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0)
        return 1;
    const int buffer = 4 << 20;
    setsockopt(s, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    long answered = 0;
    const auto drain = [&] {
        char answer[2048];
        while (recv(s, answer, sizeof answer, 0) > 0)
            ++answered;
    };
    const auto start = std::chrono::steady_clock::now();
    const long total = rate * seconds;
    long sent = 0;
    while (sent < total) {
        const long due = long(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() * double(rate));
        if (due <= sent) {
            drain();
            sleepMs(1);
            continue;
        }
        for (; sent < std::min(due, total); ++sent) {
            std::string query(12, '\0');
            query[0] = char(sent >> 8);  // the id
            query[1] = char(sent);
            query[2] = 0x01;  // recursion desired
            query[5] = 1;
            appendName(query, "q" + std::to_string(sent) + ".flood.example", 0, "");
            appendU16(query, 1);  // A
            appendU16(query, 1);  // IN
            send(s, query.data(), query.size(), 0);
        }
    }
    for (int i = 0; i < 500; ++i) {
        drain();
        sleepMs(2);
    }
    std::printf("sent %ld answered %ld\n", sent, answered);
    std::fflush(stdout);
    close(s);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    auto num = [&](int i) { return i < argc ? std::strtol(argv[i], nullptr, 10) : 0L; };
    if (mode == "tcp-server" && argc == 4)
        return tcpServer(int(num(2)), size_t(num(3)));
    if (mode == "udp-echo" && argc == 3)
        return udpServer(int(num(2)), true);
    if (mode == "udp-sink" && argc == 3)
        return udpServer(int(num(2)), false);
    if (mode == "tcp-client" && argc == 6)
        return tcpClient(argv[2], int(num(3)), size_t(num(4)), num(5));
    if (mode == "udp-client" && argc == 7)
        return udpClient(argv[2], int(num(3)), size_t(num(4)), int(num(5)), num(6));
    if (mode == "dns-server" && argc == 4)
        return dnsServer(argv[2], argv[3]);
    if (mode == "udp-handoff" && argc == 5)
        return udpHandoff(argv[2], std::atoi(argv[3]), size_t(std::atol(argv[4])));
    if (mode == "dns-forge" && argc == 9)
        return dnsForge(argv[2], argv[3], int(num(4)), argv[5], int(num(6)), num(7), num(8));
    if (mode == "dns-flood-server" && argc == 3)
        return dnsFloodServer(int(num(2)));
    if (mode == "dns-ask" && argc == 5)
        return dnsAsk(argv[2], num(3), num(4));
    if (mode == "write-file" && argc == 5)
        return writeFile(argv[2], size_t(num(3)), num(4));
    std::fprintf(stderr, "e2e_peer: bad arguments\n");
    return 2;
}
