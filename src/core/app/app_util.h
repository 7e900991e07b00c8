#pragma once

#include <wx/string.h>

// The application's folders and fixed names. Paths use "/" as separator throughout; the
// user folders are created level by level whenever they are asked for.
class AppUtil {
public:
    // Folders.
    static wxString GetExeDir();
    static wxString GetInstallRoot();
    static wxString GetDocumentsDir();
    static wxString GetDefaultOutputDir();
    static wxString GetUserDataDir();
    static wxString GetLogDir();

    // Files.
    static wxString GetConfigPath();
    static wxString GetOptionPath();
    static wxString GetLanguagePath();
    static wxString GetPagePath(bool user);
    static wxString GetFacePath();
    static wxString GetCatalogDir();

    // Fixed names.
    static wxString GetBrandName();
    static wxString GetProductId();
    static wxString GetVersion();
    static wxString GetDisplayName();
    static wxString GetBuildYear();

    // Shows a folder in the desktop's file manager.
    static void ExploreFolder(const wxString& path);

    // The folder of a program path ("/opt/a/bin/x" gives "/opt/a/bin"), and the parent of
    // a folder ("/opt/a/bin" gives "/opt/a"); the platform's separators count as "/".
    static wxString DirOf(const wxString& path);

    // Makes the install root follow another executable path (tests run from a build tree
    // that is not an installation); an empty path restores the running program's own.
    static void SetExecutablePath(const wxString& path);
};
