#pragma once

#include <wx/arrstr.h>
#include <wx/object.h>
#include <wx/string.h>

// What the file list tells its observers about one cell: a click, an edit being committed,
// or a row about to be deleted (row -1: every row was cleared).
class FileCellInfo : public wxObject {
public:
    bool accept = true; // observers clear it to refuse an edit
    int row = -1;
    int col = -1;
    wxString text;       // the new text of an edited cell
    wxArrayString cells; // every cell of the row, in column order
};
