/* The kernel types the flow-counting programs use, cut down from
 *     bpftool btf dump file /sys/kernel/btf/vmlinux format c
 * (Linux 6.18). The program context types (__sk_buff, bpf_sock, bpf_sock_addr) are the
 * kernel's stable interface and stand here whole. The internal types carry only the fields
 * the programs read: libbpf relocates each access against the running kernel's own type
 * information when it loads the programs, so their offsets here do not matter. */
#ifndef __VMLINUX_H__
#define __VMLINUX_H__

typedef unsigned char __u8;
typedef short int __s16;
typedef short unsigned int __u16;
typedef int __s32;
typedef unsigned int __u32;
typedef long long int __s64;
typedef long long unsigned int __u64;
typedef __u8 u8;
typedef __u16 u16;
typedef __u32 u32;
typedef __u64 u64;
typedef __s32 s32;
typedef __s64 s64;
typedef __u16 __be16;
typedef __u32 __be32;
typedef __u64 __be64;
typedef __u32 __wsum;
typedef __u16 __sum16;
typedef int pid_t;
typedef _Bool bool;
enum { false = 0, true = 1 };

enum bpf_map_type {
    BPF_MAP_TYPE_UNSPEC = 0,
    BPF_MAP_TYPE_HASH = 1,
    BPF_MAP_TYPE_ARRAY = 2,
    BPF_MAP_TYPE_PERCPU_ARRAY = 6,
    BPF_MAP_TYPE_LRU_HASH = 9,
    BPF_MAP_TYPE_ARRAY_OF_MAPS = 12,
    BPF_MAP_TYPE_SK_STORAGE = 24,
    BPF_MAP_TYPE_RINGBUF = 27,
};

enum {
    BPF_ANY = 0,
    BPF_NOEXIST = 1,
    BPF_EXIST = 2,
    BPF_F_LOCK = 4,
};

enum {
    BPF_F_NO_PREALLOC = 1,
    BPF_F_CLONE = 512,
};

enum {
    BPF_SK_STORAGE_GET_F_CREATE = 1,
};

enum {
    BPF_RB_NO_WAKEUP = 1,
    BPF_RB_FORCE_WAKEUP = 2,
};

enum {
    BPF_RB_AVAIL_DATA = 0,
};

struct bpf_flow_keys;

struct bpf_sock {
    __u32 bound_dev_if;
    __u32 family;
    __u32 type;
    __u32 protocol;
    __u32 mark;
    __u32 priority;
    __u32 src_ip4;
    __u32 src_ip6[4];
    __u32 src_port;
    __be16 dst_port;
    __u32 dst_ip4;
    __u32 dst_ip6[4];
    __u32 state;
    __s32 rx_queue_mapping;
};

struct __sk_buff {
    __u32 len;
    __u32 pkt_type;
    __u32 mark;
    __u32 queue_mapping;
    __u32 protocol;
    __u32 vlan_present;
    __u32 vlan_tci;
    __u32 vlan_proto;
    __u32 priority;
    __u32 ingress_ifindex;
    __u32 ifindex;
    __u32 tc_index;
    __u32 cb[5];
    __u32 hash;
    __u32 tc_classid;
    __u32 data;
    __u32 data_end;
    __u32 napi_id;
    __u32 family;
    __u32 remote_ip4;
    __u32 local_ip4;
    __u32 remote_ip6[4];
    __u32 local_ip6[4];
    __u32 remote_port;
    __u32 local_port;
    __u32 data_meta;
    union {
        struct bpf_flow_keys *flow_keys;
    };
    __u64 tstamp;
    __u32 wire_len;
    __u32 gso_segs;
    union {
        struct bpf_sock *sk;
    };
    __u32 gso_size;
    __u8 tstamp_type;
    __u64 hwtstamp;
};

struct bpf_sock_addr {
    __u32 user_family;
    __u32 user_ip4;
    __u32 user_ip6[4];
    __u32 user_port;
    __u32 family;
    __u32 type;
    __u32 protocol;
    __u32 msg_src_ip4;
    __u32 msg_src_ip6[4];
    union {
        struct bpf_sock *sk;
    };
};

#ifndef BPF_NO_PRESERVE_ACCESS_INDEX
#pragma clang attribute push(__attribute__((preserve_access_index)), apply_to = record)
#endif

struct net {
    u64 net_cookie;
};

typedef struct {
    struct net *net;
} possible_net_t;

struct sock_common {
    short unsigned int skc_family;
    possible_net_t skc_net;
};

struct sock {
    struct sock_common __sk_common;
    u16 sk_type;
    u16 sk_protocol;
};

struct qstr {
    union {
        struct {
            u32 hash;
            u32 len;
        };
        u64 hash_len;
    };
    const unsigned char *name;
};

struct dentry {
    struct qstr d_name;
};

struct vfsmount;

struct path {
    struct vfsmount *mnt;
    struct dentry *dentry;
};

struct file {
    struct path f_path;
};

struct mm_struct {
    struct file *exe_file;
};

struct task_io_accounting {
    u64 read_bytes;
    u64 write_bytes;
};

struct signal_struct {
    struct task_io_accounting ioac;
};

struct task_struct {
    unsigned int flags;
    struct mm_struct *mm;
    pid_t pid;
    pid_t tgid;
    struct task_struct *group_leader;
    u64 start_time;
    char comm[16];
    struct signal_struct *signal;
};

#ifndef BPF_NO_PRESERVE_ACCESS_INDEX
#pragma clang attribute pop
#endif

#endif /* __VMLINUX_H__ */
