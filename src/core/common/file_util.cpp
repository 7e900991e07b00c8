#include "common/file_util.h"

#include "app/app_util.h"
#include "common/platform.h"
#include "pdf/atomic_file.h"
#include "pdf/file_ptr.h"

#include <wx/datetime.h>
#include <wx/file.h>
#include <wx/filename.h>

#include <algorithm>
#include <cstdio>
#include <vector>

bool FileUtil::FileExists(const wxString& path) {
    return wxFile::Exists(path);
}

bool FileUtil::PathExists(const wxString& path) {
    return wxFile::Exists(path) || wxDir::Exists(path);
}

bool FileUtil::MakeDir(const wxString& path) {
    return Platform::MakeDir(path);
}

bool FileUtil::RemoveDir(const wxString& path, int flags) {
    return wxDir::Remove(path, flags);
}

wxString FileUtil::GetFileName(const wxString& path) {
    return wxFileName(path).GetFullName();
}

void FileUtil::ListFiles(const wxString& folder, wxArrayString& paths, const wxString& pattern) {
    ListFiles(folder, paths, wxArrayString(1, &pattern));
}

void FileUtil::ListFiles(const wxString& folder, wxArrayString& paths,
                         const wxArrayString& patterns, wxArrayString* undecodable) {
    std::vector<Platform::FolderEntry> entries;
    if (!Platform::ReadFolder(folder, entries)) {
        return; // an unreadable folder simply lists nothing
    }
    std::vector<std::vector<wxString>> groups(patterns.size());
    for (const Platform::FolderEntry& entry : entries) {
        if (!entry.regular) {
            continue;
        }
        const bool utf8 = IsUtf8(entry.name);
        const wxString name = utf8 ? wxString::FromUTF8(entry.name) : ShowBytes(entry.name);
        if (!name.Contains(".")) {
            continue;
        }
        const wxString extension = name.AfterLast('.').Lower();
        for (size_t i = 0; i < patterns.size(); ++i) {
            if (extension == patterns[i].AfterLast('.')) {
                if (utf8) {
                    groups[i].push_back(name);
                } else if (undecodable != nullptr) {
                    undecodable->Add(folder + "/" + name);
                }
                break;
            }
        }
    }
    for (std::vector<wxString>& names : groups) {
        std::sort(names.begin(), names.end(),
                  [](const wxString& a, const wxString& b) { return CompareNatural(a, b) < 0; });
        for (const wxString& found : names) {
            paths.Add(folder + "/" + found);
        }
    }
}

namespace {
// The length of the valid UTF-8 sequence at `p` (of `n` bytes left), or 0.
size_t Utf8SequenceLength(const unsigned char* p, size_t n) {
    if (p[0] < 0x80) {
        return 1;
    }
    size_t length = 0;
    uint32_t value = 0;
    if ((p[0] & 0xE0) == 0xC0) {
        length = 2;
        value = p[0] & 0x1F;
    } else if ((p[0] & 0xF0) == 0xE0) {
        length = 3;
        value = p[0] & 0x0F;
    } else if ((p[0] & 0xF8) == 0xF0) {
        length = 4;
        value = p[0] & 0x07;
    } else {
        return 0;
    }
    if (length > n) {
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80) {
            return 0;
        }
        value = (value << 6) | (p[i] & 0x3F);
    }
    static const uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return 0;
    }
    return length;
}
} // namespace

bool FileUtil::IsUtf8(const std::string& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    for (size_t i = 0; i < bytes.size();) {
        const size_t length = Utf8SequenceLength(p + i, bytes.size() - i);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

wxString FileUtil::ShowBytes(const std::string& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::string shown;
    for (size_t i = 0; i < bytes.size();) {
        const size_t length = Utf8SequenceLength(p + i, bytes.size() - i);
        if (length == 0) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", p[i]);
            shown += escape;
            ++i;
        } else {
            shown.append(bytes, i, length);
            i += length;
        }
    }
    return wxString::FromUTF8(shown);
}

wxString FileUtil::EscapeControls(const wxString& text) {
    wxString escaped;
    escaped.reserve(text.length());
    for (const wxUniChar c : text) {
        const auto code = static_cast<uint32_t>(c.GetValue());
        if (code == '\n') {
            escaped += "\\n";
        } else if (code == '\r') {
            escaped += "\\r";
        } else if (code == '\t') {
            escaped += "\\t";
        } else if (code < 0x20 || (code >= 0x7F && code < 0xA0)) {
            escaped += wxString::Format("\\x%02X", code);
        } else if (code == 0x2028 || code == 0x2029) {
            escaped += wxString::Format("\\u%04X", code);
        } else {
            escaped += c;
        }
    }
    return escaped;
}

void FileUtil::SortNatural(wxArrayString& paths) {
    std::stable_sort(paths.begin(), paths.end(),
                     [](const wxString& a, const wxString& b) { return CompareNatural(a, b) < 0; });
}

int FileUtil::CompareNatural(const wxString& a, const wxString& b) {
    size_t i = 0;
    size_t j = 0;
    while (i < a.length() && j < b.length()) {
        const wxUniChar ca = a[i];
        const wxUniChar cb = b[j];
        if (wxIsdigit(ca) && wxIsdigit(cb)) {
            // Compare the digit runs by value: skip leading zeros, then the longer run is
            // larger, then the first differing digit decides.
            size_t ei = i;
            size_t ej = j;
            while (ei < a.length() && wxIsdigit(a[ei])) {
                ++ei;
            }
            while (ej < b.length() && wxIsdigit(b[ej])) {
                ++ej;
            }
            size_t si = i;
            size_t sj = j;
            while (si + 1 < ei && a[si] == '0') {
                ++si;
            }
            while (sj + 1 < ej && b[sj] == '0') {
                ++sj;
            }
            if (ei - si != ej - sj) {
                return ei - si < ej - sj ? -1 : 1;
            }
            for (; si < ei; ++si, ++sj) {
                if (a[si] != b[sj]) {
                    return a[si] < b[sj] ? -1 : 1;
                }
            }
            i = ei;
            j = ej;
            continue;
        }
        const wxUniChar la = wxTolower(ca);
        const wxUniChar lb = wxTolower(cb);
        if (la != lb) {
            return la < lb ? -1 : 1;
        }
        ++i;
        ++j;
    }
    if (i < a.length() || j < b.length()) {
        return i < a.length() ? 1 : -1;
    }
    // Equal ignoring case and leading zeros: fall back to a plain comparison for a stable order.
    return a.compare(b);
}

wxString FileUtil::FormatSize(uint64_t bytes) {
    constexpr double kStep = 1.0 / 1024.0;
    double value = static_cast<double>(bytes);
    if (value * kStep < 1) {
        return wxString::Format("%.1fB", value);
    }
    value *= kStep;
    if (value * kStep < 1) {
        return wxString::Format("%.1fKB", value);
    }
    value *= kStep;
    if (value * kStep < 1) {
        return wxString::Format("%.1fMB", value);
    }
    return wxString::Format("%.1fGB", value * kStep);
}

bool FileUtil::WriteFileAtomically(const wxString& path, const std::string& data) {
    return AtomicFile::Replace(std::string(path.utf8_str()), data);
}

wxString FileUtil::GetLogPath() {
    wxString date = wxDateTime::Now().Format("%Y-%m-%d");
    date.Replace("-", "");
    return AppUtil::GetLogDir() + "/" + date + ".log";
}

wxString FileUtil::FormatLogLine(const wxString& message, const wxDateTime& when) {
    if (message.empty()) {
        return "# " + wxString('.', 45) + "\n";
    }
    return "# " + when.Format("%H:%M:%S") + " " + message;
}

void FileUtil::AppendLog(const wxString& message) {
    const wxString line = FormatLogLine(message, wxDateTime::Now());
    FilePtr file{Platform::OpenFile(GetLogPath(), "ab")};
    if (!file) {
        return;
    }
    const wxScopedCharBuffer utf8 = line.utf8_str();
    std::fwrite(utf8.data(), 1, utf8.length(), file.get());
}
