// The processors a process may keep busy, read from a fake root of control group files.
#include "pdf/processor_count.h"

#include <gtest/gtest.h>
#include <sched.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

TEST(ProcessorCountTest, AffinityWithinTheControlGroupsQuota) {
    struct Case {
        const char* label;
        int affinity;
        // Files under the fake root, with their content.
        std::vector<std::pair<std::string, std::string>> files;
        int expected;
    };
    const std::string v2 = "0::/job/step\n";
    const Case cases[] = {
        {"no control group file", 6, {}, 6},
        {"version 2, no quota",
         8,
         {{"proc/self/cgroup", v2}, {"sys/fs/cgroup/job/step/cpu.max", "max 100000\n"}},
         8},
        {"version 2, one and a half processors",
         8,
         {{"proc/self/cgroup", v2}, {"sys/fs/cgroup/job/step/cpu.max", "150000 100000\n"}},
         2},
        {"version 2, a quota on the parent group",
         8,
         {{"proc/self/cgroup", v2},
          {"sys/fs/cgroup/job/step/cpu.max", "max 100000\n"},
          {"sys/fs/cgroup/job/cpu.max", "300000 100000\n"}},
         3},
        {"version 2, the affinity narrower than the quota",
         2,
         {{"proc/self/cgroup", v2}, {"sys/fs/cgroup/job/step/cpu.max", "800000 100000\n"}},
         2},
        {"version 2, a tiny quota",
         4,
         {{"proc/self/cgroup", v2}, {"sys/fs/cgroup/job/step/cpu.max", "1000 100000\n"}},
         1},
        {"version 2, a group at the root",
         4,
         {{"proc/self/cgroup", "0::/\n"}, {"sys/fs/cgroup/cpu.max", "200000 100000\n"}},
         2},
        {"version 2, an unreadable file",
         4,
         {{"proc/self/cgroup", v2}, {"sys/fs/cgroup/job/step/cpu.max", "lots 100000\n"}},
         4},
        {"version 2, no period",
         4,
         {{"proc/self/cgroup", v2}, {"sys/fs/cgroup/job/step/cpu.max", "200000 0\n"}},
         4},
        {"version 1, a quota",
         8,
         {{"proc/self/cgroup", "5:memory:/job\n4:cpu,cpuacct:/job\n"},
          {"sys/fs/cgroup/cpu/job/cpu.cfs_quota_us", "250000\n"},
          {"sys/fs/cgroup/cpu/job/cpu.cfs_period_us", "100000\n"}},
         3},
        {"version 1, no quota",
         8,
         {{"proc/self/cgroup", "4:cpu,cpuacct:/job\n"},
          {"sys/fs/cgroup/cpu/job/cpu.cfs_quota_us", "-1\n"},
          {"sys/fs/cgroup/cpu/job/cpu.cfs_period_us", "100000\n"}},
         8},
        {"version 1, the quota of another controller's line is not read",
         8,
         {{"proc/self/cgroup", "4:cpuacct:/job\n"},
          {"sys/fs/cgroup/cpu/job/cpu.cfs_quota_us", "100000\n"},
          {"sys/fs/cgroup/cpu/job/cpu.cfs_period_us", "100000\n"}},
         8},
    };
    const fs::path base =
        fs::temp_directory_path() / ("ombrix-processor-count-" + std::to_string(::getpid()));
    for (const Case& c : cases) {
        fs::remove_all(base);
        for (const auto& [name, content] : c.files) {
            fs::create_directories((base / name).parent_path());
            std::ofstream(base / name) << content;
        }
        EXPECT_EQ(ProcessorCount::FromFiles(base.string(), c.affinity), c.expected) << c.label;
    }
    fs::remove_all(base);
    // This process: at least one, never beyond its affinity.
    const int count = ProcessorCount::ForThisProcess();
    EXPECT_GE(count, 1);
    cpu_set_t set;
    CPU_ZERO(&set);
    ASSERT_EQ(::sched_getaffinity(0, sizeof set, &set), 0);
    EXPECT_LE(count, CPU_COUNT(&set));
}
