#pragma once

#include <wx/arrstr.h>
#include <wx/object.h>
#include <wx/string.h>

#include <cstdint>
#include <vector>

// One row of the file list: the cell texts in column order and what the list needs to know
// about the file.
class FileRowInfo : public wxObject {
public:
    // Cell indexes, in column order.
    enum Column {
        kFileName = 0,
        kSize = 1,
        kOutputType = 2,
        kOutputName = 3,
        kStatus = 4,
        kSourcePath = 5,
        kSourceDir = 6,
        kProductType = 7,
    };

    bool flagged = false; // the file is empty
    bool accept = true;   // observers clear it to refuse a flagged row
    wxString path;
    uint64_t size = 0;
    wxArrayString cells;
};

// The rows built for a files-loaded event; the receiver of the event takes them over.
using FileRowArray = std::vector<FileRowInfo>;
