#pragma once

#include <wx/arrstr.h>
#include <wx/datetime.h>
#include <wx/dir.h>
#include <wx/filename.h>
#include <wx/string.h>

#include <cstdint>
#include <string>

// File and folder helpers shared by the application, and the daily log file.
class FileUtil {
public:
    static bool FileExists(const wxString& path);
    // True for an existing file or folder.
    static bool PathExists(const wxString& path);
    // Creates one folder level; the parent must exist; an existing folder is left alone.
    static bool MakeDir(const wxString& path);
    static bool RemoveDir(const wxString& path, int flags = wxPATH_RMDIR_RECURSIVE);
    // The name with extension after the last separator.
    static wxString GetFileName(const wxString& path);

    // Appends folder + "/" + name for each plain file of the folder whose extension, lower
    // case, equals the text of `pattern` after its last "." ("*.jpg" finds "photo.JPG").
    // The files found are appended in natural name order ("scan2" before "scan10").
    static void ListFiles(const wxString& folder, wxArrayString& paths, const wxString& pattern);
    // The same for several patterns with one reading of the folder: the files of the first
    // pattern, then those of the next. Only regular files (or links to them) are listed, so
    // that a pipe or device named like an image never reaches a reader. A matching name that
    // is not valid UTF-8 cannot be reached through a path of text: it is left out of `paths`
    // and, when `undecodable` is given, appended there as folder + "/" + ShowBytes(name).
    static void ListFiles(const wxString& folder, wxArrayString& paths,
                          const wxArrayString& patterns, wxArrayString* undecodable = nullptr);

    // True when the bytes are valid UTF-8 (no overlong forms, surrogates or values beyond
    // U+10FFFF).
    static bool IsUtf8(const std::string& bytes);
    // The bytes as text: valid UTF-8 decoded, every other byte written as "\xHH".
    static wxString ShowBytes(const std::string& bytes);
    // The text with its control characters (and line and paragraph separators) written as
    // "\n", "\r", "\t" or "\xHH" / "\u2028", so that a file name cannot break a log line or
    // steer a terminal.
    static wxString EscapeControls(const wxString& text);

    // Orders names as a file manager shows them: case-insensitive, digit runs by value.
    static int CompareNatural(const wxString& a, const wxString& b);
    // Sorts paths into that order, keeping the order of equal ones.
    static void SortNatural(wxArrayString& paths);

    // "1023.0B", "1.0KB", "1024.0KB", "1.0MB", "1.0GB".
    static wxString FormatSize(uint64_t bytes);

    // Writes `data` to a new file beside `path`, flushed to the disk, and renames it into
    // place (AtomicFile), so that `path` holds either its old content or the complete new one,
    // also after a power loss. False when the data could not be written in full.
    static bool WriteFileAtomically(const wxString& path, const std::string& data);

    // Today's log file, user data folder + "/Log/" + YYYYMMDD + ".log".
    static wxString GetLogPath();
    // Appends "# HH:MM:SS " + message to today's log; an empty message writes a separator.
    static void AppendLog(const wxString& message);
    // The log line written for `message` at the given local time.
    static wxString FormatLogLine(const wxString& message, const wxDateTime& when);
};
