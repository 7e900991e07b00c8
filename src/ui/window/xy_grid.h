#pragma once

#include "common/accessible.h"

#include <wx/arrstr.h>
#include <wx/dynarray.h>
#include <wx/grid.h>

// The grid of the file list: a click below the last row clears the selection, Ctrl+click
// toggles a row, and cells are repainted one at a time as their status changes. To assistive
// technologies it is the table of the shown columns, read from its cells' window (the one that
// has the keyboard focus).
class XyGrid : public wxGrid, public Accessible {
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

    Role GetAccessibleRole() const override { return Role::kTable; }
    wxString GetAccessibleName() const override;
    int GetAccessibleRows() const override { return GetNumberRows(); }
    int GetAccessibleColumns() const override;
    // A status cell reads as its status, with the reason of a failure.
    wxString GetAccessibleCell(int row, int col) const override;
    wxString GetAccessibleColumnHeader(int col) const override;
    bool IsAccessibleRowSelected(int row) const override;
    void SelectAccessibleRow(int row) override;
    int GetAccessibleProgressColumn() const override;
    int GetAccessibleProgress(int row) const override;

private:
    // The grid's column of a shown column, or -1; and back.
    int GridColumn(int shown) const;
    int ShownColumn(int col) const;

    void OnTargetLeftDown(wxMouseEvent& event);
    void OnCellLeftClick(wxGridEvent& event);

    wxDECLARE_DYNAMIC_CLASS(XyGrid);
    wxDECLARE_EVENT_TABLE();
};
