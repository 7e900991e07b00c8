#pragma once

#include <wx/string.h>

// A private folder for the temporary files of one job, made in the user's cache folder (on
// the same file system as the documents, so that finished files are moved, not copied) or
// else in the system's temporary folder; removed with its content when the object goes.
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

private:
    wxString m_path;
};
