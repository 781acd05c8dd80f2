#pragma once

#include <cstdint>

// Every drop counter of the capture engine, plus a few throughput figures, read together.
// Counters only grow during a run.
struct XEngineStats {
    // Datagram path (listeners -> queues -> parser -> DNS cache)
    uint64_t queueDrops = 0;            // datagrams dropped because their queue was full
    uint64_t queueRefusals = 0;         // queues refused: more than 10 local addresses
    uint64_t listenerBindFailures = 0;  // listeners whose raw socket could not be opened or bound
    int listenerBindError = 0;          // system error number of the last such failure
    uint64_t listenerReceiveErrors = 0; // failed receives
    uint64_t listenerUnqueued = 0;      // DNS answers lost by listeners without a queue
    uint64_t datagramsIgnored = 0;      // datagrams the parser skipped (malformed or unwanted)
    uint64_t dnsDropped = 0;            // names the DNS cache could not store

    // Event path (kernel trace -> ring -> parser -> counters)
    uint64_t ringDropped = 0;           // network events dropped by the full event ring
    uint64_t gatedEvents = 0;           // events dropped by the trace's start gate
    uint64_t diskDropped = 0;           // disk events of a 51st process in one interval
    uint64_t captureKernelDrops = 0;    // packets the capture dropped in the kernel
    uint64_t captureInterfaceDrops = 0; // packets the interface dropped
    uint64_t captureMalformed = 0;      // captured frames that were not usable IPv4 packets
    uint64_t processNetDropped = 0;     // network totals of a 51st process in one interval
    uint64_t eventsUncounted = 0;       // events lost because their counter could not be created
    uint64_t tcpPoolFailures = 0;       // addresses the "tcp" counter had no record for
    uint64_t udpPoolFailures = 0;       // the same for "udp"
    uint64_t chatPoolFailures = 0;      // addresses the chat counter could not adopt
    uint64_t workerExceptions = 0;      // work items dropped because handling them failed

    // Throughput
    int listeners = 0;                  // listeners running
    uint64_t datagramsReceived = 0;     // by all listeners
    uint64_t datagramsKept = 0;         // DNS answers queued
    uint64_t datagramsParsed = 0;       // handed to the parser
    uint64_t namesLearnt = 0;           // address records given to the DNS cache
    uint64_t eventsParsed = 0;          // network events counted
};
