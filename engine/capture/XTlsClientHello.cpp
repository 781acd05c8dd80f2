#include "capture/XTlsClientHello.h"

#include <algorithm>
#include <vector>

#include "capture/XServerNameCheck.h"

namespace {

constexpr uint8_t kHandshakeRecord = 0x16;
constexpr uint8_t kClientHello = 0x01;
constexpr uint16_t kServerNameExtension = 0x0000;
constexpr uint16_t kEncryptedClientHelloExtension = 0xfe0d;
constexpr uint8_t kHostNameType = 0x00;
constexpr size_t kRandomSize = 32;
constexpr size_t kMaxSessionId = 32;

// Outcome of one read: the bytes are there; they would be there in a longer input (the
// enclosing length says so, the input ends first); or the enclosing length has no room for them.
enum class Step { Ok, Cut, Bad };

// A length-delimited field of the hello, read from pos: its length says it ends at end, and
// the input holds it up to avail (avail <= end). pos may pass avail once a sub-field that
// lies partly past the input has been taken; every later read is then Cut.
struct Field {
    const uint8_t* data;
    size_t pos;
    size_t end;
    size_t avail;

    Step need(size_t n) const
    {
        if (n > end - pos)
            return Step::Bad;
        return pos + n > avail ? Step::Cut : Step::Ok;
    }
    Step read(size_t n, uint32_t& value)
    {
        const Step s = need(n);
        if (s != Step::Ok)
            return s;
        value = 0;
        for (size_t i = 0; i < n; ++i)
            value = (value << 8) | data[pos + i];
        pos += n;
        return Step::Ok;
    }
    // Takes the next n bytes as a field of their own. A sub-field that lies partly past the
    // input is handed out with what there is of it (Ok): its reader finds the cut itself.
    Step take(size_t n, Field& sub)
    {
        if (n > end - pos)
            return Step::Bad;
        sub = Field{data, pos, pos + n, std::clamp(avail, pos, pos + n)};
        pos += n;
        return Step::Ok;
    }
    // Takes a field preceded by its lenBytes-byte length.
    Step takeVector(size_t lenBytes, Field& sub)
    {
        uint32_t n = 0;
        const Step s = read(lenBytes, n);
        return s != Step::Ok ? s : take(n, sub);
    }
    Step skipVector(size_t lenBytes, size_t minLen, size_t maxLen)
    {
        Field sub{};
        const Step s = takeVector(lenBytes, sub);
        if (s != Step::Ok)
            return s;
        const size_t n = sub.end - sub.pos;
        return n < minLen || n > maxLen ? Step::Bad : Step::Ok;
    }
    bool atEnd() const { return pos == end; }
    bool cut() const { return avail < end; }
};

XClientHelloName result(XServerNameStatus status, bool ech = false)
{
    XClientHelloName r;
    r.status = status;
    r.ech = ech;
    return r;
}

XServerNameStatus statusOf(Step s)
{
    return s == Step::Cut ? XServerNameStatus::Truncated : XServerNameStatus::Malformed;
}

// The server_name extension's body: a list holding exactly one host_name entry. RFC 6066
// allows other name types in principle but defines none, and their entries could not be
// skipped; clients send one host name, so anything else is treated as malformed.
Step readServerName(Field ext, std::string& name)
{
    Field list{};
    Step s = ext.takeVector(2, list);
    if (s != Step::Ok)
        return s;
    if (!ext.atEnd())
        return Step::Bad;
    uint32_t type = 0;
    if ((s = list.read(1, type)) != Step::Ok)
        return s;
    Field host{};
    if ((s = list.takeVector(2, host)) != Step::Ok)
        return s;
    if (type != kHostNameType || host.end == host.pos || !list.atEnd())
        return Step::Bad;
    if ((s = host.need(host.end - host.pos)) != Step::Ok)
        return s;
    name.assign(reinterpret_cast<const char*>(host.data + host.pos), host.end - host.pos);
    return Step::Ok;
}

// Skips the fixed part of a ClientHello body up to its extensions.
Step skipToExtensions(Field& body)
{
    uint32_t version = 0;
    Step s = body.read(2, version);
    if (s != Step::Ok)
        return s;
    if ((version >> 8) != 3)
        return Step::Bad;
    if ((s = body.need(kRandomSize)) != Step::Ok)
        return s;
    body.pos += kRandomSize;
    if ((s = body.skipVector(1, 0, kMaxSessionId)) != Step::Ok)
        return s;
    Field suites{};
    if ((s = body.takeVector(2, suites)) != Step::Ok)
        return s;
    const size_t suiteBytes = suites.end - suites.pos;
    if (suiteBytes < 2 || suiteBytes % 2 != 0)
        return Step::Bad;
    return body.skipVector(1, 1, 255);
}

// Walks the ClientHello body [0, declared) of which [0, available) is in the input.
XClientHelloName parseBody(const uint8_t* data, size_t declared, size_t available)
{
    Field body{data, 0, declared, std::min(declared, available)};
    Step s = skipToExtensions(body);
    if (s != Step::Ok)
        return result(statusOf(s));
    if (body.atEnd())
        return result(XServerNameStatus::NoServerName);  // a hello without extensions
    Field extensions{};
    if ((s = body.takeVector(2, extensions)) != Step::Ok)
        return result(statusOf(s));
    if (!body.atEnd())
        return result(XServerNameStatus::Malformed);  // the extensions must fill the body

    bool ech = false;
    bool haveName = false;
    std::string name;
    while (!extensions.atEnd()) {
        uint32_t type = 0;
        Field ext{};
        s = extensions.read(2, type);
        if (s == Step::Ok)
            s = extensions.takeVector(2, ext);
        if (s == Step::Bad)
            return result(XServerNameStatus::Malformed, ech);
        if (s == Step::Cut)
            break;
        if (type == kEncryptedClientHelloExtension) {
            ech = true;
        } else if (type == kServerNameExtension) {
            if (haveName)
                return result(XServerNameStatus::Malformed, ech);  // two server_name extensions
            s = readServerName(ext, name);
            if (s == Step::Bad)
                return result(XServerNameStatus::Malformed, ech);
            if (s == Step::Cut)
                break;
            haveName = true;
        }
        // Anything else (GREASE, padding, key shares, extensions of tomorrow) is skipped.
        if (ext.cut())
            break;
    }
    if (!haveName)
        return result(body.cut() ? XServerNameStatus::Truncated : XServerNameStatus::NoServerName, ech);
    if (!isAcceptableServerName(name))
        return result(XServerNameStatus::BadName, ech);
    XClientHelloName r = result(XServerNameStatus::Found, ech);
    r.serverName = std::move(name);
    return r;
}

size_t handshakeLength(const uint8_t* header)
{
    return (size_t(header[1]) << 16) | (size_t(header[2]) << 8) | header[3];
}

// The handshake message at data[0..size): type ClientHello, its length, then its body, of
// which the input may hold only the start.
XClientHelloName parseMessage(const uint8_t* data, size_t size)
{
    if (size == 0)
        return result(XServerNameStatus::Truncated);
    if (data[0] != kClientHello)
        return result(XServerNameStatus::NotClientHello);
    if (size < kTlsHandshakeHeader)
        return result(XServerNameStatus::Truncated);
    return parseBody(data + kTlsHandshakeHeader, handshakeLength(data), size - kTlsHandshakeHeader);
}

}  // namespace

const char* serverNameStatusText(XServerNameStatus status)
{
    switch (status) {
    case XServerNameStatus::Found: return "found";
    case XServerNameStatus::NoServerName: return "no server name";
    case XServerNameStatus::Truncated: return "truncated";
    case XServerNameStatus::NotClientHello: return "not a client hello";
    case XServerNameStatus::Malformed: return "malformed";
    case XServerNameStatus::BadName: return "bad name";
    }
    return "unknown";
}

XClientHelloName parseClientHelloMessage(const uint8_t* data, size_t size)
{
    if (!data)
        return result(XServerNameStatus::Truncated);
    return parseMessage(data, size);
}

XClientHelloName parseTlsClientHello(const uint8_t* data, size_t size)
{
    if (!data || size == 0)
        return result(XServerNameStatus::Truncated);
    if (data[0] != kHandshakeRecord || (size >= 2 && data[1] != 3))
        return result(XServerNameStatus::NotClientHello);
    if (size < kTlsRecordHeader)
        return result(XServerNameStatus::Truncated);

    // A hello normally fits one record and is parsed where it lies. One that the client split
    // over several records is joined first; the records must follow each other until the
    // message is whole, and what follows it (a ChangeCipherSpec, early data) is not looked at.
    const uint8_t* message = data + kTlsRecordHeader;
    size_t messageSize = 0;
    std::vector<uint8_t> joined;
    size_t pos = 0;
    for (;;) {
        const size_t length = (size_t(data[pos + 3]) << 8) | data[pos + 4];
        if (length == 0 || length > kTlsMaxRecordPayload)
            return result(XServerNameStatus::Malformed);
        const uint8_t* payload = data + pos + kTlsRecordHeader;
        const size_t here = std::min(length, size - pos - kTlsRecordHeader);
        if (pos == 0) {
            messageSize = here;
        } else {
            if (joined.empty())
                joined.assign(message, message + messageSize);
            joined.insert(joined.end(), payload, payload + here);
            message = joined.data();
            messageSize = joined.size();
        }
        pos += kTlsRecordHeader + here;
        if (here < length)
            break;  // the input ends inside this record
        if (messageSize >= kTlsHandshakeHeader &&
            messageSize >= kTlsHandshakeHeader + handshakeLength(message))
            break;  // the message is whole
        if (pos == size)
            break;  // the rest would come in the next record
        const size_t left = size - pos;
        if (data[pos] != kHandshakeRecord || (left >= 2 && data[pos + 1] != 3))
            return result(XServerNameStatus::Malformed);  // the message stops before its end
        if (left < kTlsRecordHeader)
            break;  // the next record's header is cut
    }
    return parseMessage(message, messageSize);
}
