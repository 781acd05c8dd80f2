// SPDX-License-Identifier: GPL-2.0
/* Counts the bytes and packets of every IPv4 TCP and UDP flow of this network namespace per
 * owning process, in the kernel.
 *
 * The process is recorded on the socket in socket-local storage: when the socket is created
 * or connected, and when another process receives on it (an accepted socket inherits its
 * listener's storage, an inherited or passed-on socket its first user's): with task access at
 * every receive, without it at recvmsg of unconnected sockets. The common case, a receive by
 * the process already recorded, costs one storage lookup. Sending names nobody: a socket's
 * sender is nearly always its creator, and the send path is the one every packet of a
 * flat-out sender takes. Sockets without storage (kernel sockets, sockets older than the
 * programs) count under pid 0, when packets can tell their network namespace only those of
 * this one.
 *
 * The packet hooks at the cgroup2 root read the socket's storage and add each packet to its
 * flow's entry in the active one of two flow maps. A TCP socket's flow comes from the socket
 * itself; a UDP datagram's (whose socket may send anywhere) and a listener's from the packet.
 * User space flips the active map a few times a second, waits until no program writes to the
 * old one and reads it empty, so no packet is ever handed to user space on its own; while it
 * waits for traffic the first packet counted rings a doorbell, and a map that passes half full
 * rings it at once.
 *
 * When a process is freed its storage I/O totals go to a ring for the disk sampler, so that a
 * process that ends between two samples is still counted whole.
 *
 * The first payloads of new outgoing flows go to a ring of their own, for the server names
 * their TLS and QUIC handshakes ask for: a connect, and the creation of a UDP socket, mark the
 * socket's storage, and only packets of marked sockets look at their payload; the mark goes
 * once the payloads that can carry a name have passed. The common packet pays no more than
 * the test of the storage flags it made anyway.
 *
 * The DNS queries local programs send go to a ring of their own, so that user space believes
 * only answers to them: every UDP datagram's ports are read for its flow anyway, and one to
 * port 53 is copied (its headers, the DNS header and the question), whatever socket sends it.
 * Over loopback, where nothing is counted, only queries to a resolver on this host are looked
 * for.
 *
 * Every hook lets the packet or the call through, whatever happens in it. */
#include "vmlinux.h"

#include <bpf/bpf_core_read.h>
#include <bpf/bpf_endian.h>
#include <bpf/bpf_helpers.h>
#include <bpf/bpf_tracing.h>

#include "FlowCounterShared.h"

char LICENSE[] SEC("license") = "GPL";

#define ALLOW 1
#define AF_INET 2
#define AF_INET6 10
#define SOCK_STREAM 1
#define SOCK_DGRAM 2
#define ETH_P_IP 0x0800
#define IPPROTO_TCP 6
#define IPPROTO_UDP 17
#define LOOPBACK_IFINDEX 1
#define PF_KTHREAD 0x00200000
#define EEXIST 17

/* Set by the loader before the programs are loaded. */
const volatile __u64 own_netns_cookie = 0;
const volatile __u8 with_tasks = 0;     /* task access (CAP_PERFMON): names, kernel threads */
const volatile __u8 with_skb_netns = 0; /* packets can tell their network namespace */

/* Counters the loader reads through the skeleton. */
__u64 packets_dropped = 0; /* packets whose flow found the map full */
__u64 bytes_dropped = 0;
/* Set by the reader when it waits for traffic; the first packet counted clears it and rings. */
__u32 reader_waiting = 0;
/* The flow map the packet hooks write to: 0 flows_a, 1 flows_b. Flipped by the reader. */
__u32 active_map = 0;
/* Flows entered into each map since the reader last read it empty, and whether the doorbell
 * has rung for it passing half full. */
__u64 flows_entered[2] = {0, 0};
__u32 early_read_rung[2] = {0, 0};

struct {
    __uint(type, BPF_MAP_TYPE_SK_STORAGE);
    __uint(map_flags, BPF_F_NO_PREALLOC | BPF_F_CLONE);
    __type(key, int);
    __type(value, struct lvx_owner);
} owners SEC(".maps");

struct flow_map {
    __uint(type, BPF_MAP_TYPE_HASH);
    __uint(max_entries, LVX_MAX_FLOWS);
    __uint(map_flags, BPF_F_NO_PREALLOC);
    __type(key, struct lvx_flow_key);
    __type(value, struct lvx_flow_counts);
} flows_a SEC(".maps"), flows_b SEC(".maps");

/* No program reads it: replacing its entry is how the reader waits until every program that
 * may still write to the map it just retired has finished (the kernel waits for an RCU grace
 * period before a map-in-map update returns). */
struct {
    __uint(type, BPF_MAP_TYPE_ARRAY_OF_MAPS);
    __uint(max_entries, 1);
    __type(key, __u32);
    __array(values, struct flow_map);
} retire_barrier SEC(".maps") = {
    .values = {[0] = &flows_a},
};

struct {
    __uint(type, BPF_MAP_TYPE_RINGBUF);
    __uint(max_entries, 4096);
} doorbell SEC(".maps");

/* Packets counted, per CPU: tells the reader whether there is anything to read. */
struct {
    __uint(type, BPF_MAP_TYPE_PERCPU_ARRAY);
    __uint(max_entries, 1);
    __type(key, __u32);
    __type(value, __u64);
} packets_counted SEC(".maps");

struct {
    __uint(type, BPF_MAP_TYPE_LRU_HASH);
    __uint(max_entries, LVX_MAX_NAMES);
    __type(key, __u32);
    __type(value, struct lvx_process_name);
} names SEC(".maps");

struct {
    __uint(type, BPF_MAP_TYPE_RINGBUF);
    __uint(max_entries, LVX_EXIT_RING_BYTES);
} exits SEC(".maps");

/* Process exits that found the exit ring full. */
__u64 exits_dropped = 0;

struct {
    __uint(type, BPF_MAP_TYPE_RINGBUF);
    __uint(max_entries, LVX_HELLO_RING_BYTES);
} hellos SEC(".maps");

/* First payloads of flows that found the hello ring full. */
__u64 hellos_dropped = 0;

struct {
    __uint(type, BPF_MAP_TYPE_RINGBUF);
    __uint(max_entries, LVX_QUERY_RING_BYTES);
} queries SEC(".maps");

/* DNS queries that found the query ring full. */
__u64 queries_dropped = 0;

static __always_inline __u32 current_pid(void)
{
    return bpf_get_current_pid_tgid() >> 32;
}

static __always_inline struct task_struct *current_task(void)
{
    return (struct task_struct *)bpf_get_current_task();
}

/* Kernel threads using a socket do not own it; without task access every caller counts. */
static __always_inline int current_is_kernel_thread(void)
{
    if (!with_tasks)
        return 0;
    return (BPF_CORE_READ(current_task(), flags) & PF_KTHREAD) != 0;
}

/* Remembers the executable name of the process, unless it is known already. */
static __always_inline void note_process(struct task_struct *task, __u32 pid)
{
    if (!with_tasks || !task || pid == 0)
        return;
    const __u64 start = BPF_CORE_READ(task, group_leader, start_time);
    const struct lvx_process_name *known = bpf_map_lookup_elem(&names, &pid);
    if (known && known->start == start)
        return;
    struct lvx_process_name entry = {};
    entry.start = start;
    const unsigned char *image = BPF_CORE_READ(task, mm, exe_file, f_path.dentry, d_name.name);
    if (!image || bpf_probe_read_kernel_str(entry.name, sizeof entry.name, image) <= 0)
        BPF_CORE_READ_STR_INTO(&entry.name, task, group_leader, comm);
    bpf_map_update_elem(&names, &pid, &entry, BPF_ANY);
}

static __always_inline int counted_socket(__u32 family, __u32 type, __u32 protocol)
{
    return (family == AF_INET || family == AF_INET6) && (type == SOCK_STREAM || type == SOCK_DGRAM) &&
           (protocol == IPPROTO_TCP || protocol == IPPROTO_UDP);
}

/* The calling process uses the socket: record it as the owner (kernel threads never own one).
 * netns_cookie is that of the socket, asked only when the socket has no storage yet. */
static __always_inline void claim(struct lvx_owner *owner, int fresh, __u64 netns_cookie, __u32 protocol,
                                  __u32 pid)
{
    if (fresh) {
        owner->flags = netns_cookie == own_netns_cookie ? 0 : LVX_OWNER_FOREIGN;
        owner->protocol = protocol;
    }
    if ((owner->flags & LVX_OWNER_FOREIGN) || owner->pid == pid || current_is_kernel_thread())
        return;
    owner->pid = pid;
    note_process(current_task(), pid);
}

/* The next payloads of the socket are looked at for a server name: a TCP connection's first
 * segments with payload, a UDP socket's next datagrams. Not for sockets of other namespaces. */
static __always_inline void watch(struct lvx_owner *owner, __u8 payloads)
{
    if (owner->flags & LVX_OWNER_FOREIGN)
        return;
    owner->watch_left = payloads;
    owner->flags |= LVX_OWNER_WATCH;
}

static __always_inline void stop_watching(struct lvx_owner *owner)
{
    owner->flags &= ~(LVX_OWNER_WATCH | LVX_OWNER_HELLO_GOES_ON);
    owner->watch_left = 0;
}

/* One packet sent by a watched socket: false when it was the last one looked at. */
static __always_inline int watch_one_more(struct lvx_owner *owner)
{
    const __u8 left = owner->watch_left;
    if (left <= 1) {
        stop_watching(owner);
        return 0;
    }
    owner->watch_left = left - 1;
    return 1;
}

SEC("cgroup/sock_create")
int lvx_sock_create(struct bpf_sock *sk)
{
    if (!counted_socket(sk->family, sk->type, sk->protocol))
        return ALLOW;
    struct lvx_owner *owner = bpf_sk_storage_get(&owners, sk, 0, BPF_SK_STORAGE_GET_F_CREATE);
    if (owner) {
        claim(owner, 1, bpf_get_netns_cookie(sk), sk->protocol, current_pid());
        /* A UDP socket may send a QUIC Initial without ever connecting. */
        if (sk->protocol == IPPROTO_UDP)
            watch(owner, LVX_HELLO_UDP_DATAGRAMS);
    }
    return ALLOW;
}

/* connect (and, without task access, recvmsg) name the process that uses a socket it may
 * have inherited. The common case, the same process again, costs one storage lookup. A
 * connect starts a new outgoing flow: a TCP connection's first payload, and a UDP socket's
 * next datagrams to the QUIC port, are looked at for the name it asks for. */
static __always_inline int claim_by_address_call(struct bpf_sock_addr *ctx, int connecting)
{
    struct bpf_sock *sk = ctx->sk;
    if (!sk)
        return ALLOW;
    const __u32 pid = current_pid();
    struct lvx_owner *owner = bpf_sk_storage_get(&owners, sk, 0, 0);
    if (!owner || owner->pid != pid) {
        if (!counted_socket(sk->family, sk->type, sk->protocol))
            return ALLOW;
        const int fresh = !owner;
        if (fresh)
            owner = bpf_sk_storage_get(&owners, sk, 0, BPF_SK_STORAGE_GET_F_CREATE);
        if (!owner)
            return ALLOW;
        claim(owner, fresh, fresh ? bpf_get_netns_cookie(ctx) : 0, sk->protocol, pid);
    }
    if (connecting) {
        if (sk->type == SOCK_STREAM)
            watch(owner, LVX_HELLO_TCP_PACKETS);
        else if (ctx->user_port == bpf_htons(LVX_HELLO_PORT))
            watch(owner, LVX_HELLO_UDP_DATAGRAMS);
    }
    return ALLOW;
}

SEC("cgroup/connect4")
int lvx_connect4(struct bpf_sock_addr *ctx) { return claim_by_address_call(ctx, 1); }

SEC("cgroup/connect6")
int lvx_connect6(struct bpf_sock_addr *ctx) { return claim_by_address_call(ctx, 1); }

SEC("cgroup/recvmsg4")
int lvx_recvmsg4(struct bpf_sock_addr *ctx) { return claim_by_address_call(ctx, 0); }

SEC("cgroup/recvmsg6")
int lvx_recvmsg6(struct bpf_sock_addr *ctx) { return claim_by_address_call(ctx, 0); }

/* Every receive of a process (task access only). */
SEC("tp_btf/sock_recv_length")
int BPF_PROG(lvx_received, struct sock *sk, int ret, int flags)
{
    if (!sk)
        return 0;
    const __u32 pid = current_pid();
    struct lvx_owner *owner = bpf_sk_storage_get(&owners, sk, 0, 0);
    if ((owner && owner->pid == pid) ||
        !counted_socket(sk->__sk_common.skc_family, sk->sk_type, sk->sk_protocol))
        return 0;
    const int fresh = !owner;
    if (fresh)
        owner = bpf_sk_storage_get(&owners, sk, 0, BPF_SK_STORAGE_GET_F_CREATE);
    if (owner)
        claim(owner, fresh, fresh ? BPF_CORE_READ(sk, __sk_common.skc_net.net, net_cookie) : 0, sk->sk_protocol,
              pid);
    return 0;
}

/* The storage I/O totals of a process, read when its last task (the group leader, reaped
 * after every other thread) is freed: by then every thread's accounting has been folded into
 * the process's. */
SEC("tp_btf/sched_process_free")
int BPF_PROG(lvx_process_free, struct task_struct *task)
{
    /* The kernel's own pointers: read directly (every process freed passes here). */
    if (!task || task->pid != task->tgid)
        return 0;
    const struct signal_struct *signal = task->signal;
    if (!signal)
        return 0;
    struct lvx_process_exit exit = {};
    exit.read_bytes = signal->ioac.read_bytes;
    exit.write_bytes = signal->ioac.write_bytes;
    if (exit.read_bytes == 0 && exit.write_bytes == 0)
        return 0;
    exit.pid = task->tgid;
    exit.start = task->start_time;
    /* Its name: one that never used a socket has none recorded. */
    bpf_probe_read_kernel_str(exit.name, sizeof exit.name, task->comm);
    /* The sampler reads the ring on its own schedule, or when it passes half full. */
    const __u64 flags = bpf_ringbuf_query(&exits, BPF_RB_AVAIL_DATA) >= LVX_EXIT_RING_BYTES / 2
                            ? BPF_RB_FORCE_WAKEUP
                            : BPF_RB_NO_WAKEUP;
    if (bpf_ringbuf_output(&exits, &exit, sizeof exit, flags) != 0)
        __sync_fetch_and_add(&exits_dropped, 1);
    return 0;
}

struct ipv4_header {
    __u8 version_ihl;
    __u8 tos;
    __be16 total_length;
    __be16 id;
    __be16 fragment;
    __u8 ttl;
    __u8 protocol;
    __u16 checksum;
    __be32 source;
    __be32 destination;
};

/* The IP header and, for the usual header length, the ports behind it. */
struct ipv4_ports {
    struct ipv4_header ip;
    __be16 ports[2];
};

/* The packet's IP header and ports: straight from its linear part, where they nearly always
 * lie, else copied into copy. Null when the packet is too short. */
static __always_inline const struct ipv4_ports *headers_of(struct __sk_buff *skb, struct ipv4_ports *copy)
{
    const struct ipv4_ports *h = (void *)(long)skb->data;
    if ((void *)(h + 1) <= (void *)(long)skb->data_end)
        return h;
    return bpf_skb_load_bytes(skb, 0, copy, sizeof *copy) ? NULL : copy;
}

static __always_inline int is_loopback(__be32 address)
{
    return (bpf_ntohl(address) >> 24) == 127;
}

static __always_inline void add(struct lvx_flow_counts *counts, int sent, __u64 bytes, __u64 packets)
{
    if (sent) {
        __sync_fetch_and_add(&counts->bytes[LVX_DIR_SENT], bytes);
        __sync_fetch_and_add(&counts->packets[LVX_DIR_SENT], packets);
    } else {
        __sync_fetch_and_add(&counts->bytes[LVX_DIR_RECEIVED], bytes);
        __sync_fetch_and_add(&counts->packets[LVX_DIR_RECEIVED], packets);
    }
}

/* A flow entered into the map the reader reads next: past half full, ring for an early read. */
static __always_inline void note_flow_entered(__u32 map)
{
    __sync_fetch_and_add(&flows_entered[map & 1], 1);
    if (flows_entered[map & 1] >= LVX_EARLY_READ_FLOWS && !early_read_rung[map & 1]) {
        /* Two processors may both ring: the reader takes that as one. */
        early_read_rung[map & 1] = 1;
        const __u64 ring = 1;
        bpf_ringbuf_output(&doorbell, (void *)&ring, sizeof ring, BPF_RB_FORCE_WAKEUP);
    }
}

static __always_inline void count_in(void *flows, __u32 map, const struct lvx_flow_key *key, int sent,
                                     __u64 bytes, __u32 segments)
{
    struct lvx_flow_counts *counts = bpf_map_lookup_elem(flows, key);
    if (counts) {
        add(counts, sent, bytes, segments);
        return;
    }
    struct lvx_flow_counts fresh = {};
    if (sent) {
        fresh.bytes[LVX_DIR_SENT] = bytes;
        fresh.packets[LVX_DIR_SENT] = segments;
    } else {
        fresh.bytes[LVX_DIR_RECEIVED] = bytes;
        fresh.packets[LVX_DIR_RECEIVED] = segments;
    }
    const long err = bpf_map_update_elem(flows, key, &fresh, BPF_NOEXIST);
    if (err == 0) {
        note_flow_entered(map);
        return;
    }
    /* Another CPU entered the flow first. */
    if (err == -EEXIST && (counts = bpf_map_lookup_elem(flows, key))) {
        add(counts, sent, bytes, segments);
        return;
    }
    __sync_fetch_and_add(&packets_dropped, segments);
    __sync_fetch_and_add(&bytes_dropped, bytes);
}

struct tcp_head {
    __be16 ports[2];
    __be32 seq;
    __be32 ack;
    __u8 data_offset;
    __u8 flags;
};

/* Copies size bytes (at most LVX_HELLO_BYTES) of the packet from offset into the hello ring.
 * The reader reads the ring with the flow counts, or at once when it passes half full. */
static __always_inline void copy_hello(struct __sk_buff *skb, __u32 offset, __u32 bytes, const struct ipv4_header *ip,
                                       const __be16 *ports, __u32 seq)
{
    /* In a register of its own, so that the verifier sees the bounds tested here. */
    __u64 size = bytes;
    asm volatile("" : "+r"(size));
    if (size > LVX_HELLO_BYTES)
        size = LVX_HELLO_BYTES;
    if (size == 0)
        return;
    struct lvx_hello *hello = bpf_ringbuf_reserve(&hellos, sizeof *hello, 0);
    if (!hello) {
        __sync_fetch_and_add(&hellos_dropped, 1);
        return;
    }
    hello->remote_addr = ip->destination;
    hello->local_port = ports[0];
    hello->remote_port = ports[1];
    hello->tcp_seq = seq;
    hello->size = size;
    hello->protocol = ip->protocol;
    hello->pad = 0;
    if (bpf_skb_load_bytes(skb, offset, hello->data, size)) {
        bpf_ringbuf_discard(hello, BPF_RB_NO_WAKEUP);
        return;
    }
    const __u64 flags = bpf_ringbuf_query(&hellos, BPF_RB_AVAIL_DATA) >= LVX_HELLO_RING_BYTES / 2
                            ? BPF_RB_FORCE_WAKEUP
                            : BPF_RB_NO_WAKEUP;
    bpf_ringbuf_submit(hello, flags);
}

/* A packet a watched TCP socket sends. Its first segment with payload is copied when it
 * starts a TLS ClientHello (record type 22, version 3.x, message type 1), and so is the next
 * one when the hello runs past it; a segmentation-offload packet that holds more than one
 * segment's worth gives its next LVX_HELLO_BYTES as the second. Anything else ends the watch:
 * only the TLS handshake names a server in the clear. */
static __always_inline void watch_tcp(struct __sk_buff *skb, struct lvx_owner *owner)
{
    const int more = watch_one_more(owner);
    struct ipv4_header ip;
    struct tcp_head tcp;
    if (bpf_skb_load_bytes(skb, 0, &ip, sizeof ip))
        return;
    const __u32 ihl = (ip.version_ihl & 0x0F) * 4;
    if (ip.protocol != IPPROTO_TCP || ihl < 20 || bpf_skb_load_bytes(skb, ihl, &tcp, sizeof tcp))
        return;
    if (is_loopback(ip.destination)) {
        stop_watching(owner);
        return;
    }
    const __u32 headers = ihl + (tcp.data_offset >> 4) * 4;
    if (skb->len <= headers)
        return;  /* the SYN, a bare ACK: the payload is still to come */
    const __u32 payload = skb->len - headers;
    const __u32 seq = bpf_ntohl(tcp.seq);
    if (owner->flags & LVX_OWNER_HELLO_GOES_ON) {
        copy_hello(skb, headers, payload, &ip, tcp.ports, seq);
        stop_watching(owner);
        return;
    }
    __u8 start[9];
    if (payload < sizeof start || bpf_skb_load_bytes(skb, headers, start, sizeof start) || start[0] != 22 ||
        start[1] != 3 || start[5] != 1) {
        stop_watching(owner);
        return;
    }
    /* Where the hello ends, were it in one record. */
    const __u32 end = 9 + ((__u32)start[6] << 16 | (__u32)start[7] << 8 | start[8]);
    copy_hello(skb, headers, payload, &ip, tcp.ports, seq);
    if (payload > LVX_HELLO_BYTES && end > LVX_HELLO_BYTES) {
        copy_hello(skb, headers + LVX_HELLO_BYTES, payload - LVX_HELLO_BYTES, &ip, tcp.ports, seq + LVX_HELLO_BYTES);
    } else if (payload < end && more) {
        owner->flags |= LVX_OWNER_HELLO_GOES_ON;
        return;
    }
    stop_watching(owner);
}

/* A datagram a watched UDP socket sends: copied when it goes to the QUIC port and starts with
 * a long header (an Initial among them). A UDP segmentation-offload send stands for several
 * datagrams: its first two are taken. Each send uses up one of the watched datagrams. */
static __always_inline void watch_udp(struct __sk_buff *skb, struct lvx_owner *owner)
{
    watch_one_more(owner);
    /* Most watched datagrams go elsewhere than the QUIC port: their headers are read
     * straight from the packet's linear part, where they nearly always lie. */
    struct ipv4_ports copy;
    const struct ipv4_ports *h = headers_of(skb, &copy);
    if (!h)
        return;
    const __u32 ihl = (h->ip.version_ihl & 0x0F) * 4;
    if (h->ip.protocol != IPPROTO_UDP || ihl < 20 || is_loopback(h->ip.destination))
        return;
    const struct ipv4_header ip = h->ip;
    __be16 ports[2] = {h->ports[0], h->ports[1]};
    if (ihl != 20 && bpf_skb_load_bytes(skb, ihl, ports, sizeof ports))
        return;
    const __u32 offset = ihl + 8;
    if (ports[1] != bpf_htons(LVX_HELLO_PORT) || skb->len <= offset)
        return;
    const __u32 payload = skb->len - offset;
    const __u32 segment = skb->gso_segs > 1 && skb->gso_size && skb->gso_size < payload ? skb->gso_size : payload;
    __u8 first = 0;
    if (bpf_skb_load_bytes(skb, offset, &first, 1) || !(first & 0x80))
        return;
    copy_hello(skb, offset, segment, &ip, ports, 0);
    if (segment < payload && !bpf_skb_load_bytes(skb, offset + segment, &first, 1) && (first & 0x80))
        copy_hello(skb, offset + segment, payload - segment < segment ? payload - segment : segment, &ip, ports, 0);
}

/* A packet a watched socket sends. A function of its own, called only for such packets, so
 * that the path every other packet takes stays as short as it was. */
static __noinline void watch_payload(struct __sk_buff *skb, struct lvx_owner *owner)
{
    if (owner->protocol == IPPROTO_TCP)
        watch_tcp(skb, owner);
    else
        watch_udp(skb, owner);
}

/* A datagram a local socket of this namespace sends to port 53: its first LVX_QUERY_BYTES go
 * to the query ring. Submitted without a wake-up flag, the kernel wakes the reader when it
 * had read everything before: for the first query after a quiet spell, at once, and not for
 * every query of a burst it is still reading. A function of its own, called only for these. */
static __noinline void copy_query(struct __sk_buff *skb)
{
    /* In a register of its own, so that the verifier sees the bounds tested here. */
    __u64 size = skb->len;
    asm volatile("" : "+r"(size));
    if (size > LVX_QUERY_BYTES)
        size = LVX_QUERY_BYTES;
    if (size < 28)
        return;  /* not even the IP and UDP headers */
    struct lvx_query *query = bpf_ringbuf_reserve(&queries, sizeof *query, 0);
    if (!query) {
        __sync_fetch_and_add(&queries_dropped, 1);
        return;
    }
    query->length = skb->len;
    query->size = size;
    query->pad = 0;
    if (bpf_skb_load_bytes(skb, 0, query->data, size)) {
        bpf_ringbuf_discard(query, BPF_RB_NO_WAKEUP);
        return;
    }
    bpf_ringbuf_submit(query, 0);
}

/* A packet sent over loopback: copied when it is a DNS query (to a resolver on this host,
 * such as a stub at 127.0.0.53); nothing else of loopback is looked at. */
static __always_inline void look_for_loopback_query(struct __sk_buff *skb)
{
    struct ipv4_ports copy;
    const struct ipv4_ports *h = headers_of(skb, &copy);
    if (!h)
        return;
    if (h->ip.protocol != IPPROTO_UDP)
        return;
    __be16 port = h->ports[1];
    const __u32 ihl = (h->ip.version_ihl & 0x0F) * 4;
    if (ihl != 20 && (ihl < 20 || bpf_skb_load_bytes(skb, ihl + 2, &port, sizeof port)))
        return;
    if (port != bpf_htons(LVX_QUERY_PORT))
        return;
    /* A program of another namespace asks its own resolver: the answer never reaches ours. */
    if (with_skb_netns && bpf_get_netns_cookie(skb) != own_netns_cookie)
        return;
    copy_query(skb);
}

/* The storage of a socket older than the programs (or one they never saw created): made on
 * its first packet, with no process known, so that its later packets take the short way. Null
 * for what is not a TCP or UDP socket. */
static __always_inline struct lvx_owner *adopt(struct __sk_buff *skb, struct bpf_sock *sk)
{
    struct bpf_sock *full = bpf_sk_fullsock(sk);
    if (!full || !counted_socket(full->family, full->type, full->protocol))
        return 0;
    struct lvx_owner fresh = {};
    fresh.protocol = full->protocol;
    if (with_skb_netns && bpf_get_netns_cookie(skb) != own_netns_cookie)
        fresh.flags = LVX_OWNER_FOREIGN;
    struct lvx_owner *owner = bpf_sk_storage_get(&owners, full, &fresh, BPF_SK_STORAGE_GET_F_CREATE);
    /* Another processor may have made it first. */
    return owner ? owner : bpf_sk_storage_get(&owners, full, 0, 0);
}

static __always_inline int count_packet(struct __sk_buff *skb, int sent)
{
    if (skb->protocol != bpf_htons(ETH_P_IP))
        return ALLOW;
    if (skb->ifindex == LOOPBACK_IFINDEX) {
        if (sent)
            look_for_loopback_query(skb);
        return ALLOW;
    }
    struct bpf_sock *sk = skb->sk;
    if (!sk)
        return ALLOW;

    /* The socket's storage is at hand for every packet: whatever is kept per socket (its
     * owner, flags) costs a test, not a lookup. */
    struct lvx_owner *owner = bpf_sk_storage_get(&owners, sk, 0, 0);
    if (!owner && !(owner = adopt(skb, sk)))
        return ALLOW;
    if (__builtin_expect(owner->flags != 0, 0)) {
        /* Seldom: a socket of another namespace, or one whose next payloads are watched. */
        if (owner->flags & LVX_OWNER_FOREIGN)
            return ALLOW;
        if (sent)
            watch_payload(skb, owner);
    }
    struct lvx_flow_key key = {};
    key.pid = owner->pid;
    key.protocol = owner->protocol;

    __u32 ihl = 20;
    if (key.protocol == IPPROTO_TCP && sk->dst_ip4 != 0) {
        /* A connected TCP socket: every packet carries its addresses and ports. */
        key.local_addr = sk->src_ip4;
        key.remote_addr = sk->dst_ip4;
        key.local_port = bpf_htons((__u16)sk->src_port);
        key.remote_port = sk->dst_port;
    } else {
        struct ipv4_ports copy;
        const struct ipv4_ports *h = headers_of(skb, &copy);
        if (!h)
            return ALLOW;
        const __u8 versionIhl = h->ip.version_ihl;
        if ((versionIhl >> 4) != 4 || h->ip.protocol != key.protocol)
            return ALLOW;
        ihl = (versionIhl & 0x0F) * 4;
        if (ihl < 20)
            return ALLOW;
        __be16 ports[2] = {h->ports[0], h->ports[1]};
        key.local_addr = sent ? h->ip.source : h->ip.destination;
        key.remote_addr = sent ? h->ip.destination : h->ip.source;
        if (ihl != 20 && bpf_skb_load_bytes(skb, ihl, ports, sizeof ports))
            return ALLOW;
        key.local_port = ports[sent ? 0 : 1];
        key.remote_port = ports[sent ? 1 : 0];
        /* A DNS query: copied for the answers that may come. */
        if (sent && key.remote_port == bpf_htons(LVX_QUERY_PORT) && key.protocol == IPPROTO_UDP)
            copy_query(skb);
    }
    if (is_loopback(key.local_addr) || is_loopback(key.remote_addr))
        return ALLOW;

    /* The hooks see a packet whole (the IP layer fragments after egress and reassembles
     * before ingress), and a segmentation-offload packet as one: it stands for several on the
     * link, each with its IP and TCP or UDP headers. */
    __u64 bytes = skb->len;
    const __u32 segments = skb->gso_segs > 1 ? skb->gso_segs : 1;
    if (segments > 1) {
        __u8 first = 0, dataOffset = 0;
        if (bpf_skb_load_bytes(skb, 0, &first, 1))
            return ALLOW;
        ihl = (first & 0x0F) * 4;
        __u32 headers = ihl + 8;
        if (key.protocol == IPPROTO_TCP) {
            if (bpf_skb_load_bytes(skb, ihl + 12, &dataOffset, 1))
                return ALLOW;
            headers = ihl + (dataOffset >> 4) * 4;
        }
        bytes += (__u64)(segments - 1) * headers;
    }

    __u32 zero = 0;
    __u64 *seen = bpf_map_lookup_elem(&packets_counted, &zero);
    if (seen)
        *seen += segments;
    if (reader_waiting) {
        /* Two processors may both ring: the reader takes that as one. */
        reader_waiting = 0;
        const __u64 ring = 1;
        bpf_ringbuf_output(&doorbell, (void *)&ring, sizeof ring, BPF_RB_FORCE_WAKEUP);
    }
    /* Two call sites, one per map, so that the kernel calls each map's lookup directly. */
    if (active_map)
        count_in(&flows_b, 1, &key, sent, bytes, segments);
    else
        count_in(&flows_a, 0, &key, sent, bytes, segments);
    return ALLOW;
}

SEC("cgroup_skb/egress")
int lvx_egress(struct __sk_buff *skb) { return count_packet(skb, 1); }

SEC("cgroup_skb/ingress")
int lvx_ingress(struct __sk_buff *skb) { return count_packet(skb, 0); }
