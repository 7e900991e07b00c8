#include "app/app_util.h"

#include "common/platform.h"

#include <mutex>

namespace {
std::mutex g_exePathMutex;
wxString g_exePathOverride;

// Creates each level of `dir` below `base` that does not exist yet, one at a time.
void MakeLevels(const wxString& base, std::initializer_list<wxString> levels) {
    wxString path = base;
    for (const wxString& level : levels) {
        path += "/" + level;
        Platform::MakeDir(path);
    }
}
} // namespace

wxString AppUtil::DirOf(const wxString& path) {
    wxString dir = path;
    dir = Platform::ToSlashes(dir);
    const int slash = dir.Find('/', true);
    return slash == wxNOT_FOUND ? wxString() : dir.Left(slash);
}

void AppUtil::SetExecutablePath(const wxString& path) {
    std::lock_guard lock(g_exePathMutex);
    g_exePathOverride = path;
}

wxString AppUtil::GetExeDir() {
    {
        std::lock_guard lock(g_exePathMutex);
        if (!g_exePathOverride.empty()) {
            return DirOf(g_exePathOverride);
        }
    }
    return DirOf(Platform::GetExecutablePath());
}

wxString AppUtil::GetInstallRoot() {
    return DirOf(GetExeDir());
}

wxString AppUtil::GetDocumentsDir() {
    return Platform::GetDocumentsDir();
}

wxString AppUtil::GetDefaultOutputDir() {
    const wxString docs = GetDocumentsDir();
    MakeLevels(docs, {GetBrandName(), GetDisplayName()});
    return docs + "/" + GetBrandName() + "/" + GetDisplayName();
}

wxString AppUtil::GetUserDataDir() {
    const wxString docs = GetDocumentsDir();
    const wxString brandFiles = GetBrandName() + " files";
    MakeLevels(docs, {brandFiles, GetDisplayName()});
    return docs + "/" + brandFiles + "/" + GetDisplayName();
}

wxString AppUtil::GetLogDir() {
    const wxString dir = GetUserDataDir() + "/Log";
    Platform::MakeDir(dir);
    return dir;
}

wxString AppUtil::GetConfigPath() {
    return GetUserDataDir() + "/" + GetProductId() + ".cfg";
}

wxString AppUtil::GetOptionPath() {
    return GetInstallRoot() + "/option.cfg";
}

wxString AppUtil::GetLanguagePath() {
    return GetUserDataDir() + "/language.txt";
}

wxString AppUtil::GetPagePath(bool user) {
    return (user ? GetUserDataDir() : GetInstallRoot()) + "/page.xml";
}

wxString AppUtil::GetFacePath() {
    return GetInstallRoot() + "/Themes/face.xml";
}

wxString AppUtil::GetCatalogDir() {
    return GetInstallRoot() + "/Language";
}

wxString AppUtil::GetBrandName() {
    return "Ombrix";
}

wxString AppUtil::GetProductId() {
    return "ZUZUR2AZE_OMBX";
}

wxString AppUtil::GetVersion() {
    return OMBRIX_VERSION;
}

wxString AppUtil::GetDisplayName() {
    wxString name = "Ombrix+Image+to+PDF+Converter";
    name.Replace("+", " ");
    return name;
}

wxString AppUtil::GetBuildYear() {
    return wxString(__DATE__).AfterLast(' ');
}

void AppUtil::ExploreFolder(const wxString& path) {
    Platform::ExploreFolder(path);
}
