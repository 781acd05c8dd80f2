#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "corekit/XLock.h"
#include "hostinfo/NetIoRecord.h"
#include "hostinfo/ProcessIoTable.h"
#include "platform/SocketTable.h"

class XKernelIoTrace;

// The program name of an owner-table entry.
struct _X_PROGRAMNAME {
    uint32_t processId;
    int32_t size;      // capacity of name, always 260
    char name[260];    // executable file name, NUL-terminated, the rest zero-filled
};

// Which local program is behind a piece of traffic: owner tables (remote TCP address and
// local UDP port to program), per-process network totals, and the process-name helpers.
// All operations are thread-safe unless noted.
class XPCProcessInfo {
public:
    // What the object asks the operating system; replaced in tests.
    struct Hooks {
        std::function<bool(platform::SocketProtocol, std::vector<platform::SocketRow>&)> readTable;
        std::function<std::string(uint32_t)> imagePath;  // full image path, empty if unknown
        std::function<std::string(uint32_t)> shortName;  // fallback name (comm), empty if none
        static Hooks system();
    };

    static constexpr int kMaxTableRows = 2000;
    static constexpr int kRecordBlock = 5000;
    static constexpr int kNameSize = 260;

    // The singleton: created on the first call (start-up, before any engine thread), with the
    // system's tables and the kernel I/O trace, whose thread it starts. Null on failure.
    static XPCProcessInfo* Instance();
    // 5 on Linux: the full feature set. 0 until an instance was initialised.
    static int m_osVersionType;

    // An independent instance (tests, benchmarks); trace may be null.
    XPCProcessInfo(Hooks hooks, XKernelIoTrace* trace);
    ~XPCProcessInfo();
    XPCProcessInfo(const XPCProcessInfo&) = delete;
    XPCProcessInfo& operator=(const XPCProcessInfo&) = delete;

    // Refreshes the TCP and UDP owner tables (the engine's sampler, every two seconds). The
    // tables are read and their owners named without the lock; lookups wait only while the
    // result is entered.
    // seen, when given, receives the inodes of every socket the tables held (sockets of both
    // protocols), for the engine's first-seen stamps.
    void reload(std::vector<uint64_t>* seen = nullptr);

    // ip: remote address in host order. Copies min(260, size) bytes of the owner's name into
    // buf (when buf and size > 0), stores its pid (when pid is set); returns the count, 0 when
    // the address is unknown (then nothing is written). Must not be called with the lock held.
    int getTcpProgamName(uint32_t ip, char* buf, int size, uint32_t* pid);
    // The same over the UDP table; port in network order.
    int getUdpProgamName(uint16_t port, char* buf, int size, uint32_t* pid);

    // Writes the image's base name into buf (at most size characters, terminated) and returns
    // the length of the full image path; 0 (buf untouched) for a null buf, size < 1, or an
    // operating-system class up to 3; 0 when the process has no readable image.
    int queryProcessName(int pid, char* buf, int size);

    // Parser thread: attributes a network event to a process and adds its bytes to that
    // process's totals. Returns the pid used, or 0 when the event cannot be attributed; its
    // bytes then count for pid 0 (no process). Traffic to 127.0.0.1 (which the event source
    // never delivers) and events of another direction or protocol are not counted.
    uint32_t addNetData(const ORVANEPRO_NetIo& io);
    // Any thread: replaces out with the network totals of the interval as {pid, received,
    // sent}, pid 0 for the traffic no process owned, and starts a new interval.
    void getNetIO(std::vector<IoTriple>& out);
    // Any thread: the same for the disk totals of the kernel trace; empty without a trace.
    void getDiskIO(std::vector<IoTriple>& out);

    // Stops the kernel trace (program exit).
    void closeInfo();
    // Debug dump of both owner tables to standard output.
    void print();

    XKernelIoTrace* trace() const { return m_trace; }
    // Network events of processes beyond the table's bound in one interval, counted for pid 0.
    uint64_t netFolded() const { return m_netFolded.load(std::memory_order_relaxed); }
    // Number of record blocks allocated so far.
    int recordBlocks() const;

private:
    // One owned row of a socket table, named, waiting to be entered.
    struct Owner {
        uint32_t key = 0;     // TCP: remote address, host order; UDP: local port, network order
        uint32_t pid = 0;
        char name[kNameSize] = {};
    };

    void init();
    bool readOwners(platform::SocketProtocol protocol, std::vector<Owner>& owners, std::vector<uint64_t>* seen);
    // The caller holds m_lock.
    void enterOwners(platform::SocketProtocol protocol, const std::vector<Owner>& owners);
    int getProcessName(int pid, char* buf, int size);
    _X_PROGRAMNAME* createRecord(const Owner& owner, _X_PROGRAMNAME* reuse);
    void queryOsVersion();
    int copyName(const _X_PROGRAMNAME* record, char* buf, int size, uint32_t* pid) const;
    uint32_t tcpOwner(uint32_t hostOrderAddr);

    static XPCProcessInfo* m_instance;

    Hooks m_hooks;
    std::map<uint32_t, _X_PROGRAMNAME*> m_tcpTable;
    std::map<uint16_t, _X_PROGRAMNAME*> m_udpTable;
    XLock m_lock;
    XKernelIoTrace* m_trace = nullptr;
    std::vector<std::unique_ptr<_X_PROGRAMNAME[]>> m_blocks;
    int m_recordsUsed = 0;
    ProcessIoTable m_net;
    std::unique_ptr<uint16_t[]> m_confirmed;  // 65536 flags, by pid
    std::atomic<uint64_t> m_netFolded{0};
    std::mutex m_reloadMutex;                  // one reload at a time
    std::vector<platform::SocketRow> m_rows;  // refresh scratch, reused under m_reloadMutex
};
