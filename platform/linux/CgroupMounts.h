#pragma once

#include <string>
#include <string_view>

namespace platform {

// What the cgroup mounts say about where the flow-counting programs can be attached.
struct CgroupLayout {
    std::string unifiedRoot;      // mount point of the cgroup2 hierarchy; empty when none
    std::string legacyNetControl; // "net_cls" or "net_prio" when a v1 hierarchy carries it
};

// Reads the text of /proc/self/mounts: the first cgroup2 mount, and any cgroup (v1) mount
// with the net_cls or net_prio controller. Octal escapes in mount points are decoded.
CgroupLayout parseCgroupMounts(std::string_view mounts);

// Reads the text of /proc/cgroups: "net_cls" or "net_prio" when that controller is bound to a
// v1 hierarchy (mounted somewhere, perhaps in another mount namespace); empty otherwise.
std::string legacyNetControllerInUse(std::string_view procCgroups);

// Both files of this system.
CgroupLayout readCgroupLayout();

} // namespace platform
