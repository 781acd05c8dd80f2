// SPDX-License-Identifier: GPL-2.0
/* Counts the bytes and packets of every IPv4 TCP and UDP flow of this network namespace per
 * owning process, in the kernel.
 *
 * The process is recorded on the socket when it is created (and refreshed when another
 * process uses it: at connect, and at every send and receive with task access, or at sendmsg
 * and recvmsg of unconnected sockets without), in socket-local storage that accepted sockets
 * inherit from their listener. Sockets without storage (kernel sockets, sockets older than the
 * programs) count under pid 0, when packets can tell their network namespace only those of
 * this one. The packet hooks
 * at the cgroup2 root read it back and add each packet to its flow's entry in the active flow
 * map. User space swaps the active map a few times a second and reads the other one empty, so
 * no packet is ever handed to user space on its own; while it waits for traffic, the first
 * packet counted rings a doorbell.
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

/* Slot 0 holds the flow map the packet hooks write to. */
struct {
    __uint(type, BPF_MAP_TYPE_ARRAY_OF_MAPS);
    __uint(max_entries, 1);
    __type(key, __u32);
    __array(values, struct flow_map);
} active_flows SEC(".maps") = {
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
static __always_inline void claim(struct lvx_owner *owner, int fresh, __u64 netns_cookie, __u32 pid)
{
    if (fresh)
        owner->flags = netns_cookie == own_netns_cookie ? 0 : LVX_OWNER_FOREIGN;
    if ((owner->flags & LVX_OWNER_FOREIGN) || owner->pid == pid || current_is_kernel_thread())
        return;
    owner->pid = pid;
    note_process(current_task(), pid);
}

SEC("cgroup/sock_create")
int lvx_sock_create(struct bpf_sock *sk)
{
    if (!counted_socket(sk->family, sk->type, sk->protocol))
        return ALLOW;
    struct lvx_owner *owner = bpf_sk_storage_get(&owners, sk, 0, BPF_SK_STORAGE_GET_F_CREATE);
    if (owner)
        claim(owner, 1, bpf_get_netns_cookie(sk), current_pid());
    return ALLOW;
}

/* connect (and, without task access, sendmsg and recvmsg) name the process that uses a socket
 * it may have inherited. The common case, the same process again, costs one storage lookup. */
static __always_inline int claim_by_address_call(struct bpf_sock_addr *ctx)
{
    struct bpf_sock *sk = ctx->sk;
    if (!sk)
        return ALLOW;
    const __u32 pid = current_pid();
    struct lvx_owner *owner = bpf_sk_storage_get(&owners, sk, 0, 0);
    if ((owner && owner->pid == pid) || !counted_socket(sk->family, sk->type, sk->protocol))
        return ALLOW;
    const int fresh = !owner;
    if (fresh)
        owner = bpf_sk_storage_get(&owners, sk, 0, BPF_SK_STORAGE_GET_F_CREATE);
    if (owner)
        claim(owner, fresh, fresh ? bpf_get_netns_cookie(ctx) : 0, pid);
    return ALLOW;
}

SEC("cgroup/connect4")
int lvx_connect4(struct bpf_sock_addr *ctx) { return claim_by_address_call(ctx); }

SEC("cgroup/connect6")
int lvx_connect6(struct bpf_sock_addr *ctx) { return claim_by_address_call(ctx); }

SEC("cgroup/sendmsg4")
int lvx_sendmsg4(struct bpf_sock_addr *ctx) { return claim_by_address_call(ctx); }

SEC("cgroup/sendmsg6")
int lvx_sendmsg6(struct bpf_sock_addr *ctx) { return claim_by_address_call(ctx); }

SEC("cgroup/recvmsg4")
int lvx_recvmsg4(struct bpf_sock_addr *ctx) { return claim_by_address_call(ctx); }

SEC("cgroup/recvmsg6")
int lvx_recvmsg6(struct bpf_sock_addr *ctx) { return claim_by_address_call(ctx); }

/* Every send and receive of a process (task access only). */
static __always_inline void claim_kernel_socket(struct sock *sk)
{
    if (!sk)
        return;
    const __u32 pid = current_pid();
    struct lvx_owner *owner = bpf_sk_storage_get(&owners, sk, 0, 0);
    if ((owner && owner->pid == pid) ||
        !counted_socket(sk->__sk_common.skc_family, sk->sk_type, sk->sk_protocol))
        return;
    const int fresh = !owner;
    if (fresh)
        owner = bpf_sk_storage_get(&owners, sk, 0, BPF_SK_STORAGE_GET_F_CREATE);
    if (owner)
        claim(owner, fresh, fresh ? BPF_CORE_READ(sk, __sk_common.skc_net.net, net_cookie) : 0, pid);
}

SEC("tp_btf/sock_send_length")
int BPF_PROG(lvx_sent, struct sock *sk, int ret, int flags)
{
    claim_kernel_socket(sk);
    return 0;
}

SEC("tp_btf/sock_recv_length")
int BPF_PROG(lvx_received, struct sock *sk, int ret, int flags)
{
    claim_kernel_socket(sk);
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

static __always_inline int count_packet(struct __sk_buff *skb, int sent)
{
    if (skb->protocol != bpf_htons(ETH_P_IP) || skb->ifindex == LOOPBACK_IFINDEX)
        return ALLOW;
    struct bpf_sock *sk = skb->sk;
    if (!sk)
        return ALLOW;
    sk = bpf_sk_fullsock(sk);
    /* Raw sockets get copies of packets their TCP or UDP socket counts already. */
    if (!sk || !counted_socket(sk->family, sk->type, sk->protocol))
        return ALLOW;

    struct lvx_flow_key key = {};
    const struct lvx_owner *owner = bpf_sk_storage_get(&owners, sk, 0, 0);
    if (owner) {
        if (owner->flags & LVX_OWNER_FOREIGN)
            return ALLOW;
        key.pid = owner->pid;
    } else if (with_skb_netns && bpf_get_netns_cookie(skb) != own_netns_cookie) {
        return ALLOW;
    }

    /* The IP header and, for the usual header length, the ports in one load. */
    struct {
        struct ipv4_header ip;
        __be16 ports[2];
    } h;
    if (bpf_skb_load_bytes(skb, 0, &h, sizeof h) || (h.ip.version_ihl >> 4) != 4)
        return ALLOW;
    const struct ipv4_header ip = h.ip;
    const __u32 ihl = (ip.version_ihl & 0x0F) * 4;
    if (ihl < 20 || (ip.protocol != IPPROTO_TCP && ip.protocol != IPPROTO_UDP) ||
        (ip.fragment & bpf_htons(0x1FFF)) || is_loopback(ip.source) || is_loopback(ip.destination))
        return ALLOW;
    __be16 ports[2] = {h.ports[0], h.ports[1]};
    if (ihl != 20 && bpf_skb_load_bytes(skb, ihl, ports, sizeof ports))
        return ALLOW;
    /* A segmentation-offload packet stands for several on the wire, each with its headers. */
    const __u32 segments = skb->gso_segs > 1 ? skb->gso_segs : 1;
    __u64 bytes = bpf_ntohs(ip.total_length);
    if (segments > 1 || bytes == 0) {
        __u32 headers = ihl + 8;
        if (ip.protocol == IPPROTO_TCP) {
            __u8 dataOffset = 0;
            if (bpf_skb_load_bytes(skb, ihl + 12, &dataOffset, 1))
                return ALLOW;
            headers = ihl + (dataOffset >> 4) * 4;
        }
        bytes = skb->len + (__u64)(segments - 1) * headers;
    }

    key.protocol = ip.protocol;
    if (sent) {
        key.local_addr = ip.source;
        key.remote_addr = ip.destination;
        key.local_port = ports[0];
        key.remote_port = ports[1];
    } else {
        key.local_addr = ip.destination;
        key.remote_addr = ip.source;
        key.local_port = ports[1];
        key.remote_port = ports[0];
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
    void *flows = bpf_map_lookup_elem(&active_flows, &zero);
    if (!flows)
        return ALLOW;
    struct lvx_flow_counts *counts = bpf_map_lookup_elem(flows, &key);
    if (counts) {
        add(counts, sent, bytes, segments);
        return ALLOW;
    }
    struct lvx_flow_counts fresh = {};
    if (sent) {
        fresh.bytes[LVX_DIR_SENT] = bytes;
        fresh.packets[LVX_DIR_SENT] = segments;
    } else {
        fresh.bytes[LVX_DIR_RECEIVED] = bytes;
        fresh.packets[LVX_DIR_RECEIVED] = segments;
    }
    const long err = bpf_map_update_elem(flows, &key, &fresh, BPF_NOEXIST);
    if (err == 0)
        return ALLOW;
    /* Another CPU entered the flow first. */
    if (err == -EEXIST && (counts = bpf_map_lookup_elem(flows, &key))) {
        add(counts, sent, bytes, segments);
        return ALLOW;
    }
    __sync_fetch_and_add(&packets_dropped, segments);
    __sync_fetch_and_add(&bytes_dropped, bytes);
    return ALLOW;
}

SEC("cgroup_skb/egress")
int lvx_egress(struct __sk_buff *skb) { return count_packet(skb, 1); }

SEC("cgroup_skb/ingress")
int lvx_ingress(struct __sk_buff *skb) { return count_packet(skb, 0); }
