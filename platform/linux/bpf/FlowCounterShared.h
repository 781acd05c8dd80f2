/* Records shared by the flow-counting BPF programs and the user-space reader. Plain C, so
 * that both sides compile it: the programs with vmlinux.h, the reader with <linux/types.h>. */
#ifndef LUMIVEX_FLOW_COUNTER_SHARED_H
#define LUMIVEX_FLOW_COUNTER_SHARED_H

/* Flows of one read interval, per map. The reader reads early once a map is half full; what
 * finds a map full is counted as not counted. */
#define LVX_MAX_FLOWS 262144
#define LVX_EARLY_READ_FLOWS (LVX_MAX_FLOWS / 2)
#define LVX_MAX_NAMES 16384   /* processes whose name is kept */
#define LVX_NAME_LEN 64       /* executable file name, NUL-terminated */
/* Room for the I/O totals of processes that ended; the disk sampler is woken at half full. */
#define LVX_EXIT_RING_BYTES (256 * 1024)

#define LVX_DIR_RECEIVED 0
#define LVX_DIR_SENT 1

/* Socket-local storage: the process that uses the socket. */
#define LVX_OWNER_FOREIGN 1   /* the socket lives in another network namespace */
#define LVX_OWNER_WATCH 2     /* what the socket sends next may name the server it asks for */
#define LVX_OWNER_HELLO_GOES_ON 4  /* with LVX_OWNER_WATCH: a TCP hello runs on past the last
                                    * segment copied */

struct lvx_owner {
    __u32 pid;
    __u16 flags;
    __u8 protocol;    /* IPPROTO_TCP or IPPROTO_UDP */
    __u8 watch_left;  /* with LVX_OWNER_WATCH: packets it sends that are still looked at */
};

/* The first payloads of new outgoing flows, for the names their handshakes ask for: of a
 * connecting TCP socket, its first segment with payload when it starts a TLS ClientHello, and
 * the next one when the hello runs on; of a UDP socket, its first datagrams, of which those to
 * port 443 that start with a QUIC long header are copied. At most LVX_HELLO_BYTES of each. A
 * socket is watched for its first few packets sent only (the TCP handshake's and those
 * acknowledging what a server says first count too). */
#define LVX_HELLO_BYTES 1500
#define LVX_HELLO_TCP_PACKETS 8
#define LVX_HELLO_UDP_DATAGRAMS 4
#define LVX_HELLO_PORT 443
/* Room for about 680 payloads; the reader is woken at half full, else reads with the counts. */
#define LVX_HELLO_RING_BYTES (1024 * 1024)

struct lvx_hello {
    __u32 remote_addr;   /* network order */
    __u16 local_port;    /* network order */
    __u16 remote_port;   /* network order */
    __u32 tcp_seq;       /* TCP: sequence number of data[0], host order */
    __u16 size;          /* bytes of data */
    __u8 protocol;       /* IPPROTO_TCP or IPPROTO_UDP */
    __u8 pad;
    __u8 data[LVX_HELLO_BYTES];
};

/* The DNS queries local programs send (UDP datagrams to port 53), so that user space can
 * tell the answers to them from answers nobody asked for: the datagram's first
 * LVX_QUERY_BYTES bytes, IP header first, which hold the DNS header and the question whole
 * (an IP header of 60 bytes, a UDP header, the DNS header and a question of 259 bytes at
 * most: 339). The reader is woken for each one that finds it waiting: an answer may arrive a
 * fraction of a millisecond after its query. */
#define LVX_QUERY_PORT 53
#define LVX_QUERY_BYTES 384
/* Room for about 650 queries. */
#define LVX_QUERY_RING_BYTES (256 * 1024)

struct lvx_query {
    __u32 length;   /* the datagram's IP total length */
    __u16 size;     /* bytes of data */
    __u16 pad;
    __u8 data[LVX_QUERY_BYTES];
};

/* One flow as its local socket sees it. Addresses and ports in network order. */
struct lvx_flow_key {
    __u32 local_addr;
    __u32 remote_addr;
    __u16 local_port;
    __u16 remote_port;
    __u32 pid;        /* 0: no process known for the socket */
    __u8 protocol;    /* IPPROTO_TCP or IPPROTO_UDP */
    __u8 pad[3];
};

/* What a flow carried in one read interval; index LVX_DIR_RECEIVED or LVX_DIR_SENT. Bytes
 * are the IP total lengths of the packets the link carries: a segmentation-offload packet
 * counts as the packets it stands for, each with its IP and TCP or UDP headers. */
struct lvx_flow_counts {
    __u64 bytes[2];
    __u64 packets[2];
};

/* The executable of a process, taken when it first used a socket. start tells a process from
 * a later one reusing its pid. */
struct lvx_process_name {
    __u64 start;
    char name[LVX_NAME_LEN];
};

/* The storage I/O totals of a process that ended (all its threads), as /proc/PID/io last
 * showed them: read_bytes and write_bytes. start is its start time (CLOCK_MONOTONIC, ns);
 * name its command name (comm), which names a process that never used a socket. */
struct lvx_process_exit {
    __u32 pid;
    __u32 pad;
    __u64 start;
    __u64 read_bytes;
    __u64 write_bytes;
    char name[16];
};

#endif
