#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/linux/CgroupMounts.h"

namespace {

std::string dataFile(const std::string& name)
{
    std::ifstream in(std::string(LUMIVEX_TEST_DATA) + "/platform/" + name);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(CgroupMountsTest, UnifiedRootAndLegacyNetControllersAreFound)
{
    // A hybrid host: v1 controllers beside the cgroup2 hierarchy, no net_cls.
    platform::CgroupLayout hybrid = platform::parseCgroupMounts(dataFile("proc_self_mounts"));
    EXPECT_EQ(hybrid.unifiedRoot, "/sys/fs/cgroup/unified");
    EXPECT_EQ(hybrid.legacyNetControl, "");

    // net_cls and net_prio mounted; the cgroup2 mount point has an escaped space.
    platform::CgroupLayout legacy = platform::parseCgroupMounts(dataFile("proc_self_mounts_net_cls"));
    EXPECT_EQ(legacy.unifiedRoot, "/run/my cgroups");
    EXPECT_EQ(legacy.legacyNetControl, "net_cls");

    EXPECT_EQ(platform::parseCgroupMounts("cgroup /x cgroup rw,net_prio 0 0\n").legacyNetControl, "net_prio");
    // Truncated lines and a controller name inside another option do not count.
    EXPECT_EQ(platform::parseCgroupMounts("cgroup2 /a\ncgroup /b cgroup rw,xnet_cls 0 0").unifiedRoot, "");
    EXPECT_EQ(platform::parseCgroupMounts("cgroup /b cgroup rw,xnet_cls 0 0").legacyNetControl, "");
}

TEST(CgroupMountsTest, LegacyNetControllerBoundToAHierarchyIsInUse)
{
    EXPECT_EQ(platform::legacyNetControllerInUse(dataFile("proc_cgroups")), "net_prio");
    EXPECT_EQ(platform::legacyNetControllerInUse("#subsys_name\thierarchy\tnum_cgroups\tenabled\n"
                                                 "net_cls\t0\t1\t1\nnet_prio\t0\t1\t1\n"),
              "");
    EXPECT_EQ(platform::legacyNetControllerInUse("net_cls\tx\t1\t1\nnet_cls 3\n"), "");
}

} // namespace
