#include "common/platform.h"

#include "pdf/atomic_file.h"
#include "pdf/processor_count.h"

#include <wx/filename.h>
#include <wx/stdpaths.h>
#include <wx/utils.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <langinfo.h>
#include <memory>
#include <random>
#include <sched.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const char kPartPrefix[] = ".ombrix-part-";

std::string NativePath(const wxString& path) {
    return std::string(path.utf8_str());
}

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirPtr = std::unique_ptr<DIR, DirCloser>;

// True when the process is known to be gone (a process of another user still counts as
// running).
bool ProcessEnded(pid_t pid) {
    return pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH;
}
} // namespace

void Platform::UseUtf8Locale() {
    std::setlocale(LC_CTYPE, "");
    const char* codeset = nl_langinfo(CODESET);
    if (codeset == nullptr || wxString(codeset).Upper() != "UTF-8") {
        std::setlocale(LC_CTYPE, "C.UTF-8");
    }
}

wxString Platform::ToSlashes(const wxString& path) {
    return path;
}

wxString Platform::GetDocumentsDir() {
    wxString dir = wxStandardPaths::Get().GetDocumentsDir();
    while (dir.length() > 1 && dir.EndsWith("/")) {
        dir.RemoveLast();
    }
    return dir;
}

wxString Platform::GetExecutablePath() {
    return wxStandardPaths::Get().GetExecutablePath();
}

void Platform::ExploreFolder(const wxString& path) {
    // xdg-open hands a folder to the desktop's file manager.
    const std::string native = NativePath(path);
    const char* const argv[] = {"xdg-open", native.c_str(), nullptr};
    wxExecute(argv, wxEXEC_ASYNC | wxEXEC_HIDE_CONSOLE);
}

bool Platform::MakeDir(const wxString& path) {
    const std::string native = NativePath(path);
    return ::mkdir(native.c_str(), 0777) == 0 || errno == EEXIST;
}

FILE* Platform::OpenFile(const wxString& path, const char* mode) {
    const std::string native = NativePath(path);
    return std::fopen(native.c_str(), mode);
}

wxString Platform::MakeUniqueDir(const wxString& prefix) {
    std::string pattern = NativePath(prefix) + "XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        return wxString();
    }
    return wxString::FromUTF8(pattern);
}

namespace {

// Copies a file into a new file; false with errno set on failure.
bool CopyInto(const std::string& from, AtomicFile& out) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        return false;
    }
    char buffer[1 << 16];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        if (!out.Write(buffer, static_cast<size_t>(n))) {
            ok = false;
            break;
        }
    }
    const int saved = errno;
    ::close(in);
    errno = saved;
    return ok;
}

// Flushes a file's data to the disk. Data alone: a file that its writer flushed already (the
// PDF service's output) costs nothing more.
bool SyncFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool ok = ::fdatasync(fd) == 0;
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return ok;
}

bool Fail(wxString* reason) {
    if (reason != nullptr) {
        *reason = wxString::FromUTF8(std::strerror(errno));
    }
    return false;
}
} // namespace

bool Platform::MoveIntoPlace(const wxString& from, const wxString& to, wxString* reason) {
    const std::string source = NativePath(from);
    const std::string target = NativePath(to);
    // On the disk before its name is: a power loss never leaves an empty file at `to`.
    if (!SyncFile(source)) {
        return Fail(reason);
    }
    if (std::rename(source.c_str(), target.c_str()) == 0) {
        return AtomicFile::SyncFolder(AtomicFile::FolderOf(target)) || Fail(reason);
    }
    if (errno != EXDEV) {
        return Fail(reason);
    }
    // Another file system: copy beside the target under a private name, then rename.
    AtomicFile copy;
    if (!copy.Open(AtomicFile::FolderOf(target) + "/" + kPartPrefix +
                   NativePath(GetProcessTag()))) {
        return Fail(reason);
    }
    // Locked until it is closed: a part file nobody holds, of a process that has ended, is
    // stale.
    ::flock(copy.Descriptor(), LOCK_EX | LOCK_NB);
    if (!CopyInto(source, copy) || !copy.Commit(target)) {
        return Fail(reason);
    }
    std::remove(source.c_str());
    return true;
}

void Platform::RemoveStalePartFiles(const wxString& folder) {
    RemoveStale(folder, kPartPrefix);
}

bool Platform::ReadFolder(const wxString& folder, std::vector<FolderEntry>& entries) {
    const DirPtr dir(::opendir(NativePath(folder).c_str()));
    if (!dir) {
        return false;
    }
    const int fd = ::dirfd(dir.get());
    while (const dirent* found = ::readdir(dir.get())) {
        if (found->d_name[0] == '.') {
            continue;
        }
        FolderEntry entry;
        entry.name = found->d_name;
        if (found->d_type == DT_REG) {
            entry.regular = true;
        } else if (found->d_type == DT_LNK || found->d_type == DT_UNKNOWN) {
            // stat follows a link without opening what it names.
            struct stat status {};
            entry.regular =
                ::fstatat(fd, found->d_name, &status, 0) == 0 && S_ISREG(status.st_mode);
        }
        entries.push_back(std::move(entry));
    }
    return true;
}

int Platform::GetProcessorCount() {
    // A batch scheduler, a container or taskset narrows them.
    return ProcessorCount::ForThisProcess();
}

unsigned long long Platform::GetMemoryLimit() {
    unsigned long long limit = ~0ULL;
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0) {
        limit = static_cast<unsigned long long>(pages) * static_cast<unsigned long long>(pageSize);
    }
    struct rlimit space {};
    if (::getrlimit(RLIMIT_AS, &space) == 0 && space.rlim_cur != RLIM_INFINITY) {
        limit = std::min<unsigned long long>(limit, space.rlim_cur);
    }
    // The memory limits of the process's control group and of each group above it: version 2
    // ("0::/path" in /proc/self/cgroup, memory.max, "max" for none) or version 1 (a line of
    // the memory controller, memory.limit_in_bytes).
    std::ifstream groups("/proc/self/cgroup");
    std::string line;
    while (std::getline(groups, line)) {
        const size_t first = line.find(':');
        const size_t second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos) {
            continue;
        }
        const std::string controllers = line.substr(first + 1, second - first - 1);
        std::string base;
        std::string file;
        if (line.rfind("0::", 0) == 0) {
            base = "/sys/fs/cgroup";
            file = "memory.max";
        } else if (("," + controllers + ",").find(",memory,") != std::string::npos) {
            base = "/sys/fs/cgroup/memory";
            file = "memory.limit_in_bytes";
        } else {
            continue;
        }
        for (std::filesystem::path group = line.substr(second + 1);; group = group.parent_path()) {
            std::ifstream max(base + group.string() + "/" + file);
            unsigned long long bytes = 0;
            if (max >> bytes) {
                limit = std::min(limit, bytes);
            }
            if (group.empty() || group == group.parent_path()) {
                break;
            }
        }
    }
    return limit;
}

wxString Platform::GetProcessTag() {
    return wxString::Format("%ld-", static_cast<long>(::getpid()));
}

int Platform::HoldLock(const wxString& path) {
    const int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void Platform::ReleaseLock(int handle) {
    if (handle >= 0) {
        ::close(handle);
    }
}

void Platform::RemoveStale(const wxString& folder, const wxString& prefix) {
    const std::string base = NativePath(folder);
    const std::string start = NativePath(prefix);
    const DirPtr dir(::opendir(base.c_str()));
    if (!dir) {
        return;
    }
    const int dirFd = ::dirfd(dir.get());
    std::vector<std::string> stale;
    while (const dirent* found = ::readdir(dir.get())) {
        const std::string name = found->d_name;
        if (name.compare(0, start.size(), start) != 0) {
            continue;
        }
        // prefix + decimal process id + "-" + anything
        size_t end = start.size();
        while (end < name.size() && name[end] >= '0' && name[end] <= '9') {
            ++end;
        }
        if (end == start.size() || end - start.size() > 9 || end >= name.size() ||
            name[end] != '-') {
            continue;
        }
        const pid_t pid =
            static_cast<pid_t>(std::stol(name.substr(start.size(), end - start.size())));
        if (!ProcessEnded(pid)) {
            continue;
        }
        // Ours (this user's file or folder, not a link) and held by nobody.
        const int fd =
            ::openat(dirFd, name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0) {
            continue;
        }
        struct stat status {};
        if (::fstat(fd, &status) == 0 && status.st_uid == ::geteuid() &&
            (S_ISREG(status.st_mode) || S_ISDIR(status.st_mode)) &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            stale.push_back(base + "/" + name);
        }
        ::close(fd);
    }
    for (const std::string& path : stale) {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
}
