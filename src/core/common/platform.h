#pragma once

#include <wx/string.h>

#include <cstdio>

// The operating-system facilities the application needs, one implementation per platform
// (platform_unix.cpp, platform_msw.cpp), so that callers carry no platform conditionals.
class Platform {
public:
    // Makes file names and multibyte conversions UTF-8 when the process starts in a
    // non-UTF-8 locale (a bare "C" locale would turn every non-ASCII path into garbage).
    static void UseUtf8Locale();

    // The path with the platform's own separators turned into "/". Only where the platform
    // separates with "\\": elsewhere "\\" is a legal character of a name and stays.
    static wxString ToSlashes(const wxString& path);

    // The user's documents folder, "/"-separated; empty when it cannot be found.
    static wxString GetDocumentsDir();

    // The full path of the running program.
    static wxString GetExecutablePath();

    // Shows the folder in the desktop's file manager; failures are not reported.
    static void ExploreFolder(const wxString& path);

    // Creates one folder level; the parent must exist. An existing folder is left alone.
    static bool MakeDir(const wxString& path);

    // Creates a new folder whose name is `prefix` followed by a unique suffix; returns its
    // path, or an empty string on failure.
    static wxString MakeUniqueDir(const wxString& prefix);

    // Moves `from` to `to` so that `to` names either its old file or the complete new one:
    // a rename on the same file system, else a copy beside `to` (flushed to disk) renamed
    // into place. Returns false with a reason on failure; `from` is left for the caller.
    static bool MoveIntoPlace(const wxString& from, const wxString& to, wxString* reason);

    // Opens a file by its path with a C stdio mode; null on failure.
    static FILE* OpenFile(const wxString& path, const char* mode);

    // Replaces `to` by `from` in one step, so that `to` names either the old or the new file.
    static bool ReplaceFile(const wxString& from, const wxString& to);
};
