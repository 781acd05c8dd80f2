#pragma once

#include "capture/XRecordCounter.h"

class XDNSRecord;

// Chat-program traffic ("other"): remote addresses that a registered chat program reached by
// bare address. Addresses are adopted when a per-address counter offers a new record; from
// then on the parser counts every event of the address here too. Keeps no totals of its own.
class XIPCounter : public XRecordCounter {
public:
    static constexpr int kMaxPrograms = 20;
    static constexpr int kNameSize = 32;

    // Start-up only, before any engine thread runs: registers a chat program by executable
    // name and display name (each kept to 31 bytes). A 21st registration is ignored.
    static void addICQProcessName(const char* executable, const char* displayName);
    // Start-up only: forgets every registration.
    static void clearICQProcessNames();
    // Number of registered programs.
    static int icqProcessCount();
    // Display name of the registered program whose executable name matches name (ignoring
    // letter case and a trailing ".exe" on either side), else null. The pointer stays valid
    // until the table is cleared.
    static const char* isICQProcess(const char* name);

    XIPCounter(unsigned long localIP, unsigned short localPort);
    ~XIPCounter() override;

    // Start-up: finds the DNS name cache.
    void init() override;
    // The same with the cache given (may be null: then no address counts as named).
    void init(XDNSRecord* dns);

    // Parser thread, with the offering counter's lock held: adopts the address of r when its
    // program is a registered chat program and the address has no DNS name.
    void addICQCounter(const _X_R_PACKETCOUNTER* r);
    // Parser thread: counts one event of an adopted address (host order); others are ignored.
    void count(unsigned long ip, int unused, int size, int direction, int packets = 1);

protected:
    bool listedByGetIPs(const _X_R_PACKETCOUNTER& r) const override;

private:
    static void copyString(char* dst, const char* src, int n);

    XDNSRecord* m_dns = nullptr;
};
