#include "window/xy_grid.h"

#include "domain/dh_grid_cell_render_command_event.h"
#include "window/file_grid_table.h"

#include <wx/intl.h>

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
    Bind(wxEVT_GRID_RANGE_SELECTED, [this](wxGridRangeSelectEvent& event) {
        NotifyAccessibleSelectionChanged();
        event.Skip();
    });
    AttachAccessible(GetGridWindow());
    for (wxWindow* part : {static_cast<wxWindow*>(this), GetGridCornerLabelWindow(),
                           GetGridRowLabelWindow(), GetGridColLabelWindow()}) {
        MarkDecorative(part);
    }
}

wxString XyGrid::GetAccessibleName() const {
    return _("File list");
}

int XyGrid::GridColumn(int shown) const {
    for (int col = 0; col < GetNumberCols(); ++col) {
        if (IsColShown(col) && GetColSize(col) > 0 && shown-- == 0) {
            return col;
        }
    }
    return -1;
}

int XyGrid::ShownColumn(int col) const {
    if (col < 0 || col >= GetNumberCols() || !IsColShown(col) || GetColSize(col) <= 0) {
        return -1;
    }
    int shown = 0;
    for (int before = 0; before < col; ++before) {
        shown += IsColShown(before) && GetColSize(before) > 0 ? 1 : 0;
    }
    return shown;
}

int XyGrid::GetAccessibleColumns() const {
    int shown = 0;
    while (GridColumn(shown) >= 0) {
        ++shown;
    }
    return shown;
}

wxString XyGrid::GetAccessibleCell(int row, int col) const {
    const int gridCol = GridColumn(col);
    if (gridCol < 0 || row < 0 || row >= GetNumberRows()) {
        return {};
    }
    const auto* table = dynamic_cast<const FileGridTable*>(GetTable());
    if (table != nullptr && table->GetKind(gridCol) == FileGridTable::kChoice) {
        // The cell holds the index of its choice.
        const long index = wxAtol(GetCellValue(row, gridCol));
        const wxArrayString& choices = table->GetChoices();
        return index >= 0 && static_cast<size_t>(index) < choices.size() ? choices[index]
                                                                         : wxString();
    }
    if (table != nullptr && table->GetKind(gridCol) == FileGridTable::kStatus) {
        wxString text = table->GetStatusText(row);
        const FileGridTable::Status& status = table->GetStatus(row);
        if (status.state == DhGridCellRenderCommandEvent::kFailed) {
            text += ": " + FileGridTable::DescribeFailure(status);
        }
        return text;
    }
    return GetCellValue(row, gridCol);
}

wxString XyGrid::GetAccessibleColumnHeader(int col) const {
    const int gridCol = GridColumn(col);
    return gridCol >= 0 ? GetColLabelValue(gridCol) : wxString();
}

bool XyGrid::IsAccessibleRowSelected(int row) const {
    return IsInSelection(row, 0);
}

void XyGrid::SelectAccessibleRow(int row) {
    SelectRow(row, true);
    MakeCellVisible(row, 0);
}

int XyGrid::GetAccessibleProgressColumn() const {
    const auto* table = dynamic_cast<const FileGridTable*>(GetTable());
    if (table == nullptr) {
        return -1;
    }
    for (int col = 0; col < GetNumberCols(); ++col) {
        if (table->GetKind(col) == FileGridTable::kStatus) {
            return ShownColumn(col);
        }
    }
    return -1;
}

int XyGrid::GetAccessibleProgress(int row) const {
    const auto* table = dynamic_cast<const FileGridTable*>(GetTable());
    if (table == nullptr || row < 0 || row >= GetNumberRows()) {
        return 0;
    }
    const FileGridTable::Status& status = table->GetStatus(row);
    return status.state == DhGridCellRenderCommandEvent::kProgress ||
                   status.state == DhGridCellRenderCommandEvent::kStopped
               ? status.percent
               : 0;
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
    NotifyAccessibleCellChanged(row, ShownColumn(col));
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
