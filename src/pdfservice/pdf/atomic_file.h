#pragma once

#include "pdf/unique_file.h"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

// Writes a file so that its path names either its old content or the complete new one, also
// after a crash or a power loss: the data goes into a new file with a unique name, which is
// flushed to the disk and closed (both checked), renamed over the target, and then the folder
// is flushed so that the rename itself lasts. The temporary is removed on every failure and
// when the object goes without a commit. Header only, in the PDF service, which links nothing
// of the application; the application's file helpers use it too.
//
//     AtomicFile file;
//     if (!file.OpenBeside(path) || !file.Write(data, size) || !file.Commit(path)) ...
class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile() { Discard(); }
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file, named `prefix` + six random characters. False (errno set)
    // when it cannot be created.
    bool Open(const std::string& prefix) {
        Discard();
        m_fd = UniqueFile::Create(prefix, m_temporary);
        if (m_fd < 0) {
            m_temporary.clear();
            return false;
        }
        return true;
    }
    // The same in the folder of `target`, hidden: "." + its name + ".part-" + six characters.
    bool OpenBeside(const std::string& target) {
        const size_t slash = target.find_last_of('/');
        const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
        return Open(FolderOf(target) + "/." + name + ".part-");
    }

    // The temporary's descriptor, for writers that take one; -1 when none is open.
    int Descriptor() const { return m_fd; }
    const std::string& TemporaryPath() const { return m_temporary; }

    // Writes all the bytes; false (errno set) when the disk refuses some.
    bool Write(const void* data, size_t size) {
        const char* next = static_cast<const char*>(data);
        while (size > 0) {
            const ssize_t written = ::write(m_fd, next, size);
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written <= 0) {
                if (written == 0) {
                    errno = EIO;
                }
                return false;
            }
            next += written;
            size -= static_cast<size_t>(written);
        }
        return true;
    }

    // Puts the temporary in place of `target` (on the same file system) durably. False
    // (errno set) on failure: the temporary is then gone and `target` is as it was, unless
    // only the flush of the folder failed after the rename.
    bool Commit(const std::string& target) {
        if (m_fd < 0) {
            errno = EBADF;
            return false;
        }
        bool ok = ::fsync(m_fd) == 0;
        int saved = errno;
        // A failed close can mean that written data never reached the disk.
        if (::close(m_fd) != 0 && ok) {
            ok = false;
            saved = errno;
        }
        m_fd = -1;
        if (ok && std::rename(m_temporary.c_str(), target.c_str()) != 0) {
            ok = false;
            saved = errno;
        }
        if (!ok) {
            Discard();
            errno = saved;
            return false;
        }
        m_temporary.clear();
        return SyncFolder(FolderOf(target));
    }

    // Closes and removes an uncommitted temporary.
    void Discard() {
        const int saved = errno;
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
        if (!m_temporary.empty()) {
            ::unlink(m_temporary.c_str());
            m_temporary.clear();
        }
        errno = saved;
    }

    // Replaces the file at `path` by `data` in one step.
    static bool Replace(const std::string& path, const std::string& data) {
        AtomicFile file;
        return file.OpenBeside(path) && file.Write(data.data(), data.size()) && file.Commit(path);
    }

    // Flushes a folder's entries to the disk, so that a file created or renamed there stays
    // after a power loss. A file system that cannot flush folders (EINVAL) is no failure.
    static bool SyncFolder(const std::string& folder) {
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            return false;
        }
        const bool ok = ::fsync(fd) == 0 || errno == EINVAL;
        const int saved = errno;
        ::close(fd);
        errno = saved;
        return ok;
    }

    // The folder part of a path: "." for a bare name, "/" for a name in the root.
    static std::string FolderOf(const std::string& path) {
        const size_t slash = path.find_last_of('/');
        if (slash == std::string::npos) {
            return ".";
        }
        return slash == 0 ? std::string("/") : path.substr(0, slash);
    }

private:
    int m_fd = -1;
    std::string m_temporary;
};
