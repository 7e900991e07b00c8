#pragma once

#include <wx/string.h>

#include <map>

// The settings a conversion job runs with, copied from the setting tables on the user-interface
// thread when the job starts: what the window or the preference dialog changes while the job
// runs does not reach it.
class JobSettings {
public:
    // A copy of the keyed output settings and of every "page:" named setting.
    static JobSettings Capture();

    // The copied page setting, or an empty string.
    wxString Page(const wxString& key) const;

    wxString outputDir;
    bool saveBesideSource = false;
    bool merge = false; // the product offers merging and it was chosen
    wxString mergeName;
    int statusColumn = 4;
    // The PDFs record their work (sources and settings) for a later run to skip them.
    bool recordWork = false;
    std::map<wxString, wxString> page;
};
