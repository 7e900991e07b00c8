#include "pdf/processor_count.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>

namespace {
// The processors a quota of `quota` microseconds per `period` keeps busy, rounded up; the
// largest int for no quota or a file that says nothing clear.
int QuotaProcessors(double quota, double period) {
    if (!(quota > 0) || !(period > 0)) {
        return std::numeric_limits<int>::max();
    }
    const double processors = std::ceil(quota / period);
    return processors >= std::numeric_limits<int>::max()
               ? std::numeric_limits<int>::max()
               : std::max(1, static_cast<int>(processors));
}

// Version 2: "max 100000" or "150000 100000".
int FromCpuMax(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string quota;
    double period = 0;
    if (!(in >> quota >> period) || quota == "max") {
        return std::numeric_limits<int>::max();
    }
    try {
        size_t used = 0;
        const double value = std::stod(quota, &used);
        return used == quota.size() ? QuotaProcessors(value, period)
                                    : std::numeric_limits<int>::max();
    } catch (const std::exception&) {
        return std::numeric_limits<int>::max();
    }
}

// Version 1: cpu.cfs_quota_us ("-1" for none) and cpu.cfs_period_us.
int FromCfsFiles(const std::filesystem::path& folder) {
    std::ifstream quotaFile(folder / "cpu.cfs_quota_us");
    std::ifstream periodFile(folder / "cpu.cfs_period_us");
    double quota = 0;
    double period = 0;
    if (!(quotaFile >> quota) || !(periodFile >> period)) {
        return std::numeric_limits<int>::max();
    }
    return QuotaProcessors(quota, period);
}
} // namespace

int ProcessorCount::FromFiles(const std::string& root, int affinity) {
    int count = std::max(affinity, 1);
    std::ifstream groups(std::filesystem::path(root) / "proc/self/cgroup");
    std::string line;
    while (std::getline(groups, line)) {
        // "ID:CONTROLLERS:/GROUP"; version 2 has the single line "0::/GROUP".
        const size_t first = line.find(':');
        const size_t second = line.find(':', first == std::string::npos ? first : first + 1);
        if (first == std::string::npos || second == std::string::npos) {
            continue;
        }
        const std::string controllers = line.substr(first + 1, second - first - 1);
        const bool version2 = line.rfind("0::", 0) == 0;
        if (!version2 && ("," + controllers + ",").find(",cpu,") == std::string::npos) {
            continue;
        }
        const std::filesystem::path base =
            std::filesystem::path(root) / (version2 ? "sys/fs/cgroup" : "sys/fs/cgroup/cpu");
        // The group and each group above it: a job's quota may sit on its parent.
        std::filesystem::path group = std::filesystem::path(line.substr(second + 1));
        for (;;) {
            const std::filesystem::path folder = base / group.relative_path();
            count =
                std::min(count, version2 ? FromCpuMax(folder / "cpu.max") : FromCfsFiles(folder));
            if (group.relative_path().empty() || group == group.parent_path()) {
                break;
            }
            group = group.parent_path();
        }
    }
    return std::max(count, 1);
}

int ProcessorCount::ForThisProcess() {
    int affinity = 0;
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0) {
        affinity = CPU_COUNT(&set);
    }
    if (affinity <= 0) {
        const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
        affinity = online > 0 ? static_cast<int>(online) : 1;
    }
    return FromFiles("/", affinity);
}
