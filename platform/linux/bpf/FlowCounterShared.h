/* Records shared by the flow-counting BPF programs and the user-space reader. Plain C, so
 * that both sides compile it: the programs with vmlinux.h, the reader with <linux/types.h>. */
#ifndef LUMIVEX_FLOW_COUNTER_SHARED_H
#define LUMIVEX_FLOW_COUNTER_SHARED_H

#define LVX_MAX_FLOWS 65536   /* flows of one read interval, per map */
#define LVX_MAX_NAMES 16384   /* processes whose name is kept */
#define LVX_NAME_LEN 64       /* executable file name, NUL-terminated */

#define LVX_DIR_RECEIVED 0
#define LVX_DIR_SENT 1

/* Socket-local storage: the process that uses the socket. */
#define LVX_OWNER_FOREIGN 1   /* the socket lives in another network namespace */

struct lvx_owner {
    __u32 pid;
    __u32 flags;
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
 * are IP total lengths, headers included; a segmentation-offload packet counts as the packets
 * it stands for on the wire. */
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

#endif
