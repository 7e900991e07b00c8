#include "common/platform.h"

#include "pdf/unique_file.h"

#include <wx/filename.h>
#include <wx/stdpaths.h>
#include <wx/utils.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <langinfo.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::string NativePath(const wxString& path) {
    return std::string(path.utf8_str());
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

bool Platform::ReplaceFile(const wxString& from, const wxString& to) {
    return std::rename(NativePath(from).c_str(), NativePath(to).c_str()) == 0;
}

wxString Platform::MakeUniqueDir(const wxString& prefix) {
    std::string pattern = NativePath(prefix) + "XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        return wxString();
    }
    return wxString::FromUTF8(pattern);
}

namespace {

// Copies a file into a new file, flushed to the disk; false with errno set on failure.
bool CopyAndSync(const std::string& from, int out) {
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
        for (ssize_t done = 0; done < n && ok;) {
            const ssize_t written = ::write(out, buffer + done, static_cast<size_t>(n - done));
            if (written < 0 && errno == EINTR) {
                continue;
            }
            ok = written > 0;
            done += written > 0 ? written : 0;
        }
        if (!ok) {
            break;
        }
    }
    const int saved = errno;
    ::close(in);
    errno = saved;
    return ok && ::fsync(out) == 0;
}
} // namespace

bool Platform::MoveIntoPlace(const wxString& from, const wxString& to, wxString* reason) {
    const std::string source = NativePath(from);
    const std::string target = NativePath(to);
    if (std::rename(source.c_str(), target.c_str()) == 0) {
        return true;
    }
    if (errno != EXDEV) {
        if (reason != nullptr) {
            *reason = wxString::FromUTF8(std::strerror(errno));
        }
        return false;
    }
    // Another file system: copy beside the target under a private name, then rename.
    const size_t slash = target.find_last_of('/');
    std::string partial;
    const int out = UniqueFile::Create(
        (slash == std::string::npos ? std::string(".") : target.substr(0, slash)) +
            "/.ombrix-part-",
        partial);
    if (out < 0) {
        if (reason != nullptr) {
            *reason = wxString::FromUTF8(std::strerror(errno));
        }
        return false;
    }
    bool ok = CopyAndSync(source, out);
    int saved = errno;
    if (::close(out) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (ok && std::rename(partial.c_str(), target.c_str()) != 0) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        ::unlink(partial.c_str());
        if (reason != nullptr) {
            *reason = wxString::FromUTF8(std::strerror(saved));
        }
        return false;
    }
    std::remove(source.c_str());
    return true;
}
