#pragma once

#include <wx/string.h>

#include <cstdio>
#include <string>
#include <vector>

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

    // Moves `from` to `to` so that `to` names either its old file or the complete new one,
    // also after a power loss: `from` is flushed to the disk, then renamed on the same file
    // system, else copied beside `to` (flushed) and renamed into place; the folder of `to` is
    // flushed after the rename. The copy is named ".ombrix-part-" + the process tag + a random
    // suffix and held locked while it is written, so that RemoveStalePartFiles recognises one
    // left by a process that was killed. Returns false with a reason on failure; `from` is
    // left for the caller.
    static bool MoveIntoPlace(const wxString& from, const wxString& to, wxString* reason);
    // Removes the part files of MoveIntoPlace that ended processes left in `folder`.
    static void RemoveStalePartFiles(const wxString& folder);

    // An entry of a folder, as the system names it.
    struct FolderEntry {
        std::string name;     // the name's bytes (UTF-8 unless the file was named otherwise)
        bool regular = false; // a regular file, or a link to one
    };
    // The entries directly inside `folder` whose names do not start with "."; nothing is
    // opened, so a pipe or a device among them does no harm. False when it cannot be read.
    static bool ReadFolder(const wxString& folder, std::vector<FolderEntry>& entries);

    // The number of processors this process may run on (at least 1): its affinity mask,
    // within its control group's CPU quota.
    static int GetProcessorCount();
    // The bytes of memory this process may use: the least of the machine's memory, the
    // limit of its control group (a batch scheduler sets one per job) and its address-space
    // limit.
    static unsigned long long GetMemoryLimit();

    // Temporary files and folders carry the tag of the process that made them (its id + "-")
    // after a fixed prefix, and that process holds them locked while it uses them.
    static wxString GetProcessTag();
    // Takes the lock on a file or folder; returns a handle for ReleaseLock, or -1.
    static int HoldLock(const wxString& path);
    static void ReleaseLock(int handle);
    // Removes the entries of `folder` named `prefix` + a process tag + anything that belong to
    // this user, whose process has ended and that no process holds locked: folders with their
    // content. Anything else is left alone.
    static void RemoveStale(const wxString& folder, const wxString& prefix);

    // Opens a file by its path with a C stdio mode; null on failure.
    static FILE* OpenFile(const wxString& path, const char* mode);
};
