#include "window/xy_grid.h"

wxIMPLEMENT_DYNAMIC_CLASS(XyGrid, wxGrid);

wxBEGIN_EVENT_TABLE(XyGrid, wxGrid) EVT_GRID_CELL_LEFT_CLICK(XyGrid::OnCellLeftClick)
    wxEND_EVENT_TABLE()

        XyGrid::XyGrid(wxWindow* parent, wxWindowID id, const wxPoint& position, const wxSize& size,
                       long style, const wxString& name) {
    Create(parent, id, position, size, style, name);
    GetGridWindow()->Bind(wxEVT_LEFT_DOWN, &XyGrid::OnTargetLeftDown, this);
    // Focus given to the grid (Tab from the control before it) belongs to its cells, whose
    // window handles the keys.
    Bind(wxEVT_SET_FOCUS, [this](wxFocusEvent& event) {
        CallAfter([this] { GetGridWindow()->SetFocus(); });
        event.Skip();
    });
}

bool XyGrid::DeleteRows(int pos, int count, bool updateLabels) {
    if (count == 0) {
        return false;
    }
    return wxGrid::DeleteRows(pos, count, updateLabels);
}

void XyGrid::RefreshCell(int row, int col) {
    const wxRect cell = CellToRect(row, col);
    if (cell.width < 1 || cell.height < 1) {
        return;
    }
    int x = 0;
    int y = 0;
    CalcScrolledPosition(cell.x, cell.y, &x, &y);
    GetGridWindow()->RefreshRect(wxRect(x, y, cell.width, cell.height), true);
}

wxArrayInt XyGrid::GetSelectedRowsAll() const {
    wxArrayInt rows = GetSelectedRows();
    const wxGridCellCoordsArray tops = GetSelectionBlockTopLeft();
    const wxGridCellCoordsArray bottoms = GetSelectionBlockBottomRight();
    for (size_t i = 0; i < tops.size() && i < bottoms.size(); ++i) {
        for (int row = tops[i].GetRow(); row <= bottoms[i].GetRow(); ++row) {
            rows.Add(row);
        }
    }
    return rows;
}

void XyGrid::OnTargetLeftDown(wxMouseEvent& event) {
    int x = 0;
    int y = 0;
    CalcUnscrolledPosition(event.GetX(), event.GetY(), &x, &y);
    if (YToRow(y, false) == wxNOT_FOUND) {
        ClearSelection();
    }
    event.Skip();
}

void XyGrid::OnCellLeftClick(wxGridEvent& event) {
    if (!event.ControlDown()) {
        event.Skip();
        return;
    }
    const int row = event.GetRow();
    if (IsInSelection(row, 0)) {
        DeselectRow(row);
        Refresh();
    } else {
        SelectRow(row, true);
    }
}
