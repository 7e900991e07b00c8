#pragma once

#include <wx/arrstr.h>
#include <wx/dynarray.h>
#include <wx/grid.h>

// The grid of the file list: a click below the last row clears the selection, Ctrl+click
// toggles a row, and cells are repainted one at a time as their status changes.
class XyGrid : public wxGrid {
public:
    XyGrid() = default;
    XyGrid(wxWindow* parent, wxWindowID id, const wxPoint& position = wxDefaultPosition,
           const wxSize& size = wxDefaultSize, long style = wxWANTS_CHARS,
           const wxString& name = wxGridNameStr);

    // Does nothing for a count of 0.
    bool DeleteRows(int pos = 0, int count = 1, bool updateLabels = true);
    // Repaints one cell.
    void RefreshCell(int row, int col);
    // The rows selected as rows, then every row of each selected block, unsorted and possibly
    // repeated (the toolkit reports a selected row both ways).
    wxArrayInt GetSelectedRowsAll() const;

private:
    void OnTargetLeftDown(wxMouseEvent& event);
    void OnCellLeftClick(wxGridEvent& event);

    wxDECLARE_DYNAMIC_CLASS(XyGrid);
    wxDECLARE_EVENT_TABLE();
};
