#pragma once

#include <string>

// The processors a process may keep busy: those its affinity mask allows (a batch scheduler's
// cpuset, taskset), and no more than its control group's CPU quota (a container's or a job's
// "--cpus"), rounded up. The machine's own count says nothing under a scheduler. No
// dependencies, so that the PDF service and the application count alike.
class ProcessorCount {
public:
    // For the running process; at least 1.
    static int ForThisProcess();

    // The count for a process whose affinity mask allows `affinity` processors, with the
    // control group files read under `root` ("/" for the real ones): root/proc/self/cgroup
    // names the process's group; version 2 keeps "QUOTA PERIOD" (or "max PERIOD") in
    // root/sys/fs/cgroup/GROUP/cpu.max, version 1 keeps cpu.cfs_quota_us (-1 for none) and
    // cpu.cfs_period_us in root/sys/fs/cgroup/cpu/GROUP. The least quota of the group and
    // the groups above it counts. At least 1.
    static int FromFiles(const std::string& root, int affinity);
};
