#pragma once

#include <wx/string.h>

// A private folder for the temporary files of one job, made in the user's cache folder (on
// the same file system as the documents, so that finished files are moved, not copied) or
// else in the system's temporary folder; removed with its content when the object goes.
// Its name carries the process's tag and the process holds it locked, so that a folder left
// by a process that was killed is recognised as stale.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Empty when no folder could be made.
    const wxString& Path() const { return m_path; }
    bool IsOk() const { return !m_path.empty(); }

    // Where job folders are made.
    static wxString GetBaseDir();
    // Removes the job folders of processes that have ended (killed before they could remove
    // them); folders of running processes are left alone.
    static void RemoveStale();

private:
    wxString m_path;
    int m_lock = -1;
};
