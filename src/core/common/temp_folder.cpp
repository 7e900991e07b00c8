#include "common/temp_folder.h"

#include "app/app_util.h"
#include "common/file_util.h"
#include "common/platform.h"

#include <wx/filename.h>
#include <wx/stdpaths.h>

namespace {
const char kPrefix[] = "ombrix-job-";
} // namespace

TempFolder::TempFolder() {
    for (const wxString& base : {GetBaseDir(), wxFileName::GetTempDir()}) {
        if (base.empty()) {
            continue;
        }
        m_path = Platform::MakeUniqueDir(base + "/" + kPrefix + Platform::GetProcessTag());
        if (!m_path.empty()) {
            m_lock = Platform::HoldLock(m_path);
            return;
        }
    }
}

TempFolder::~TempFolder() {
    if (!m_path.empty()) {
        FileUtil::RemoveDir(m_path, wxPATH_RMDIR_RECURSIVE);
    }
    Platform::ReleaseLock(m_lock);
}

wxString TempFolder::GetBaseDir() {
    wxString cache = wxStandardPaths::Get().GetUserDir(wxStandardPaths::Dir_Cache);
    if (cache.empty()) {
        return wxString();
    }
    cache = Platform::ToSlashes(cache);
    const wxString base = cache + "/" + AppUtil::GetDisplayName();
    Platform::MakeDir(cache);
    Platform::MakeDir(base);
    return base;
}

void TempFolder::RemoveStale() {
    for (const wxString& base : {GetBaseDir(), wxFileName::GetTempDir()}) {
        if (!base.empty()) {
            Platform::RemoveStale(base, kPrefix);
        }
    }
}
