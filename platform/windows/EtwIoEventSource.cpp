// The kernel's network events through Event Tracing for Windows: a real-time session of the
// system trace provider with the TCP/IP flag, consumed on the engine's trace thread. Every
// IPv4 TCP and UDP send and receive arrives with the process that owns its socket; disk bytes
// come from each process's I/O counters, sampled once a second.
//
// On Windows 8 and later the session is one of our own ("Lumivex Kernel Network"), beside any
// other tool's; a session of that name left by a run that crashed is stopped first. Windows 7
// has only the "NT Kernel Logger": it is started, or joined when another tool runs it, and then
// left running for that tool at the end.
#include "platform/IoEventSource.h"

#include <windows.h>
#include <evntcons.h>
#include <evntrace.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "corekit/XLog.h"
#include "platform/EtwNetRecord.h"
#include "platform/LocalAddresses.h"
#include "platform/ProcessNames.h"
#include "platform/Processes.h"
#include "platform/windows/IoCountersSampler.h"
#include "platform/windows/WideText.h"

namespace platform {

namespace {

const wchar_t kSessionName[] = L"Lumivex Kernel Network";
// Our session's own identity (a system logger session must not use the kernel logger's).
const GUID kSessionGuid = {0x30db7cd5, 0x72af, 0x4719, {0xb4, 0x10, 0xb5, 0xc7, 0x62, 0xdf, 0xb4, 0x97}};
// {9E814AAD-3204-11D2-9A82-006008A86939}, spelt out so that no INITGUID is needed.
const GUID kSystemTraceControlGuid = {0x9e814aad, 0x3204, 0x11d2, {0x9a, 0x82, 0x00, 0x60, 0x08, 0xa8, 0x69, 0x39}};

// How often the local addresses that orient received events are read again.
constexpr auto kLocalAddressesAge = std::chrono::seconds(10);
// A process's name is recorded when it first has traffic, and again after this long.
constexpr auto kNameAge = std::chrono::milliseconds(ProcessNames::kFreshMs / 2);

// An EVENT_TRACE_PROPERTIES block with room for the session name behind it. ControlTrace
// writes into it, so every call gets a fresh one.
class TraceProperties {
public:
    TraceProperties(const wchar_t* name, const GUID& guid, ULONG logFileMode)
        : m_block(sizeof(EVENT_TRACE_PROPERTIES) + (std::wcslen(name) + 1) * sizeof(wchar_t) + 1024)
    {
        EVENT_TRACE_PROPERTIES* p = get();
        p->Wnode.BufferSize = ULONG(m_block.size());
        p->Wnode.Flags = WNODE_FLAG_TRACED_GUID;
        p->Wnode.ClientContext = 2;  // system time: event stamps on the FILETIME scale
        p->Wnode.Guid = guid;
        p->LogFileMode = logFileMode;
        p->EnableFlags = EVENT_TRACE_FLAG_NETWORK_TCPIP;
        p->FlushTimer = 1;  // seconds: events reach us within about a second
        p->LoggerNameOffset = sizeof(EVENT_TRACE_PROPERTIES);
    }
    EVENT_TRACE_PROPERTIES* get() { return reinterpret_cast<EVENT_TRACE_PROPERTIES*>(m_block.data()); }

private:
    std::vector<unsigned char> m_block;
};

// 0xFFFFFFFF in the low half marks a failed OpenTrace on some systems, all ones on others.
bool validConsumer(TRACEHANDLE h)
{
    return h != INVALID_PROCESSTRACE_HANDLE && h != TRACEHANDLE(0x00000000FFFFFFFFull);
}

EtwGuid etwGuid(const GUID& g)
{
    EtwGuid out;
    out.data1 = g.Data1;
    out.data2 = g.Data2;
    out.data3 = g.Data3;
    std::memcpy(out.data4, g.Data4, sizeof out.data4);
    return out;
}

class EtwIoEventSource : public IoEventSource {
public:
    ~EtwIoEventSource() override { closeTrace(); }

    bool open(std::string* error) override;
    void run(IoEventSink& sink) override;
    void stop() override;
    IoSourceStats stats() const override;
    std::string name() const override;

private:
    static void WINAPI onEvent(PEVENT_RECORD record);
    void handle(const EVENT_RECORD& record);
    bool startSession(std::string& why);
    void closeTrace();
    void rememberName(uint32_t pid, std::chrono::steady_clock::time_point now);

    mutable std::mutex m_mutex;  // guards the handles, the stop request and the end reason
    bool m_stop = false;
    std::wstring m_sessionName;
    TRACEHANDLE m_session = 0;
    bool m_ownSession = false;  // started by us, so stopped by us
    TRACEHANDLE m_consumer = INVALID_PROCESSTRACE_HANDLE;
    std::string m_endReason;
    IoCountersSampler m_disk;

    // The trace thread's, while run() runs.
    IoEventSink* m_sink = nullptr;
    std::vector<uint32_t> m_locals;
    std::chrono::steady_clock::time_point m_localsRead{};
    std::unordered_map<uint32_t, std::chrono::steady_clock::time_point> m_named;

    std::atomic<uint64_t> m_decoded{0}, m_truncated{0}, m_delivered{0};
};

bool EtwIoEventSource::startSession(std::string& why)
{
    // Our own session (Windows 8 and later). A stale one of ours is stopped first.
    TraceProperties stale(kSessionName, kSessionGuid, EVENT_TRACE_REAL_TIME_MODE | EVENT_TRACE_SYSTEM_LOGGER_MODE);
    ::ControlTraceW(0, kSessionName, stale.get(), EVENT_TRACE_CONTROL_STOP);
    TraceProperties own(kSessionName, kSessionGuid, EVENT_TRACE_REAL_TIME_MODE | EVENT_TRACE_SYSTEM_LOGGER_MODE);
    ULONG rc = ::StartTraceW(&m_session, kSessionName, own.get());
    if (rc == ERROR_SUCCESS) {
        m_sessionName = kSessionName;
        m_ownSession = true;
        return true;
    }
    if (rc == ERROR_ACCESS_DENIED) {
        why = "kernel events need an elevated process (run as administrator): StartTrace " + systemErrorText(rc);
        return false;
    }
    // The kernel logger of every version.
    const std::string ownError = systemErrorText(rc);
    TraceProperties kernel(KERNEL_LOGGER_NAMEW, kSystemTraceControlGuid, EVENT_TRACE_REAL_TIME_MODE);
    rc = ::StartTraceW(&m_session, KERNEL_LOGGER_NAMEW, kernel.get());
    if (rc == ERROR_SUCCESS || rc == ERROR_ALREADY_EXISTS) {
        m_sessionName = KERNEL_LOGGER_NAMEW;
        m_ownSession = rc == ERROR_SUCCESS;
        if (!m_ownSession)
            XLog::debug(1, "kernel events: the NT Kernel Logger already runs; joined with the events it has");
        return true;
    }
    why = "StartTrace of a kernel session " + ownError + ", of the NT Kernel Logger " + systemErrorText(rc);
    return false;
}

bool EtwIoEventSource::open(std::string* error)
{
    std::lock_guard<std::mutex> guard(m_mutex);
    if (validConsumer(m_consumer))
        return true;
    std::string why;
    if (m_stop) {
        why = "stopped";
    } else if (startSession(why)) {
        EVENT_TRACE_LOGFILEW consumer{};
        consumer.LoggerName = m_sessionName.data();
        consumer.ProcessTraceMode = PROCESS_TRACE_MODE_REAL_TIME | PROCESS_TRACE_MODE_EVENT_RECORD;
        consumer.EventRecordCallback = &EtwIoEventSource::onEvent;
        consumer.Context = this;
        m_consumer = ::OpenTraceW(&consumer);
        if (validConsumer(m_consumer))
            return true;
        why = "the kernel trace cannot be read: OpenTrace " + systemErrorText(::GetLastError());
        m_consumer = INVALID_PROCESSTRACE_HANDLE;
        if (m_ownSession) {
            TraceProperties stopping(m_sessionName.c_str(), kSessionGuid, 0);
            ::ControlTraceW(m_session, m_sessionName.c_str(), stopping.get(), EVENT_TRACE_CONTROL_STOP);
            m_ownSession = false;
        }
    }
    if (error)
        *error = why;
    return false;
}

void EtwIoEventSource::run(IoEventSink& sink)
{
    TRACEHANDLE consumer;
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        consumer = m_consumer;
        if (m_stop || !validConsumer(consumer))
            consumer = INVALID_PROCESSTRACE_HANDLE;
    }
    if (!validConsumer(consumer)) {
        closeTrace();
        return;
    }
    m_sink = &sink;
    std::vector<uint32_t> locals;
    if (readLocalIpv4Addresses(locals, nullptr))
        m_locals = locals;
    m_localsRead = std::chrono::steady_clock::now();
    m_disk.start(sink);
    // Blocks, delivering events to onEvent on this thread, until the trace is closed.
    const ULONG rc = ::ProcessTrace(&consumer, 1, nullptr, nullptr);
    m_disk.stop();
    m_sink = nullptr;
    std::string reason;
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        if (!m_stop)
            reason = m_endReason = "the kernel trace ended: ProcessTrace " + systemErrorText(rc);
    }
    if (!reason.empty())
        XLog::debug(1, "kernel events: ", reason);
    closeTrace();
}

void EtwIoEventSource::stop()
{
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_stop = true;
    }
    // Closing the consumer makes ProcessTrace return.
    closeTrace();
}

void EtwIoEventSource::closeTrace()
{
    std::lock_guard<std::mutex> guard(m_mutex);
    if (validConsumer(m_consumer))
        ::CloseTrace(m_consumer);
    m_consumer = INVALID_PROCESSTRACE_HANDLE;
    if (m_ownSession) {
        TraceProperties stopping(m_sessionName.c_str(), kSessionGuid, 0);
        ::ControlTraceW(m_session, m_sessionName.c_str(), stopping.get(), EVENT_TRACE_CONTROL_STOP);
        m_ownSession = false;
    }
}

void WINAPI EtwIoEventSource::onEvent(PEVENT_RECORD record)
{
    if (record && record->UserContext)
        static_cast<EtwIoEventSource*>(record->UserContext)->handle(*record);
}

void EtwIoEventSource::handle(const EVENT_RECORD& r)
{
    if (!m_sink)
        return;
    const EVENT_HEADER& h = r.EventHeader;
    EtwNetRecordView view;
    view.provider = etwGuid(h.ProviderId);
    view.opcode = h.EventDescriptor.Opcode;
    view.version = h.EventDescriptor.Version;
    view.pointer64 = (h.Flags & EVENT_HEADER_FLAG_32_BIT_HEADER) == 0;
    view.headerPid = h.ProcessId;
    view.timestamp = uint64_t(h.TimeStamp.QuadPart);
    view.data = static_cast<const uint8_t*>(r.UserData);
    view.size = r.UserDataLength;
    EtwNetEvent decoded;
    switch (decodeEtwNetRecord(view, decoded)) {
    case EtwNetResult::Ignored:
        return;
    case EtwNetResult::Truncated:
        m_truncated.fetch_add(1, std::memory_order_relaxed);
        return;
    case EtwNetResult::Event:
        break;
    }
    m_decoded.fetch_add(1, std::memory_order_relaxed);
    const auto now = std::chrono::steady_clock::now();
    if (now - m_localsRead >= kLocalAddressesAge) {
        std::vector<uint32_t> locals;
        if (readLocalIpv4Addresses(locals, nullptr))
            m_locals = std::move(locals);
        m_localsRead = now;
    }
    orientByLocalAddresses(decoded, m_locals);
    rememberName(decoded.event.pid, now);
    m_sink->onNetEvent(decoded.event);
    m_delivered.fetch_add(1, std::memory_order_relaxed);
}

void EtwIoEventSource::rememberName(uint32_t pid, std::chrono::steady_clock::time_point now)
{
    // While the process runs: a program that lived 20 ms keeps its name in the tables.
    if (pid == 0)
        return;
    auto [it, inserted] = m_named.try_emplace(pid, now);
    if (!inserted && now - it->second < kNameAge)
        return;
    it->second = now;
    if (m_named.size() > ProcessNames::kMaxNames)
        m_named.clear();
    ProcessNames::instance().remember(pid, processImageName(pid));
}

IoSourceStats EtwIoEventSource::stats() const
{
    IoSourceStats s;
    s.packetsSeen = m_decoded.load(std::memory_order_relaxed);
    s.packetsMalformed = m_truncated.load(std::memory_order_relaxed);
    s.netEventsDelivered = m_delivered.load(std::memory_order_relaxed);
    s.diskSamples = m_disk.rounds();
    s.diskEventsDelivered = m_disk.delivered();
    std::lock_guard<std::mutex> guard(m_mutex);
    if (validConsumer(m_consumer)) {
        // Events the session had no buffer for.
        TraceProperties query(m_sessionName.c_str(), kSessionGuid, 0);
        if (::ControlTraceW(0, m_sessionName.c_str(), query.get(), EVENT_TRACE_CONTROL_QUERY) == ERROR_SUCCESS)
            s.kernelDrops = query.get()->EventsLost + query.get()->RealTimeBuffersLost;
    }
    return s;
}

std::string EtwIoEventSource::name() const
{
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_endReason.empty() ? "etw" : "etw: " + m_endReason;
}

} // namespace

std::unique_ptr<IoEventSource> createSystemIoEventSource()
{
    return std::make_unique<EtwIoEventSource>();
}

} // namespace platform
