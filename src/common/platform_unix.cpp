#include "common/platform.h"

#include <wx/filename.h>
#include <wx/stdpaths.h>
#include <wx/utils.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <langinfo.h>
#include <sys/stat.h>

namespace {
std::string NativePath(const wxString& path)
{
    return std::string(path.utf8_str());
}
} // namespace

void Platform::UseUtf8Locale()
{
    std::setlocale(LC_CTYPE, "");
    const char* codeset = nl_langinfo(CODESET);
    if (codeset == nullptr || wxString(codeset).Upper() != "UTF-8") {
        std::setlocale(LC_CTYPE, "C.UTF-8");
    }
}

wxString Platform::GetDocumentsDir()
{
    wxString dir = wxStandardPaths::Get().GetDocumentsDir();
    dir.Replace("\\", "/");
    while (dir.length() > 1 && dir.EndsWith("/")) {
        dir.RemoveLast();
    }
    return dir;
}

wxString Platform::GetExecutablePath()
{
    return wxStandardPaths::Get().GetExecutablePath();
}

void Platform::ExploreFolder(const wxString& path)
{
    // xdg-open hands a folder to the desktop's file manager.
    const std::string native = NativePath(path);
    const char* const argv[] = {"xdg-open", native.c_str(), nullptr};
    wxExecute(argv, wxEXEC_ASYNC | wxEXEC_HIDE_CONSOLE);
}

bool Platform::MakeDir(const wxString& path)
{
    const std::string native = NativePath(path);
    return ::mkdir(native.c_str(), 0777) == 0 || errno == EEXIST;
}

FILE* Platform::OpenFile(const wxString& path, const char* mode)
{
    const std::string native = NativePath(path);
    return std::fopen(native.c_str(), mode);
}

bool Platform::ReplaceFile(const wxString& from, const wxString& to)
{
    return std::rename(NativePath(from).c_str(), NativePath(to).c_str()) == 0;
}
