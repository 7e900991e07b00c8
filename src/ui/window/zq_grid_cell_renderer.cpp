#include "window/zq_grid_cell_renderer.h"

#include "window/file_grid_table.h"

#include <wx/dc.h>
#include <wx/settings.h>

#include <algorithm>

void ZqGridCellRenderer::Draw(wxGrid& grid, wxGridCellAttr& attr, wxDC& dc, const wxRect& rect,
                              int row, int col, bool isSelected) {
    // In the file list one renderer serves the whole column: the row's status comes from the
    // list's table.
    if (auto* table = dynamic_cast<FileGridTable*>(grid.GetTable())) {
        table->DescribeStatus(row, *this);
    }
    wxDCClipper clip(dc, rect);
    // The background and selection; the cell's own value is blank.
    wxGridCellStringRenderer::Draw(grid, attr, dc, rect, row, col, isSelected);

    dc.SetFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
    if (percent != 0) {
        const int clamped = std::clamp(percent, 0, 100);
        dc.SetPen(*wxBLACK_PEN);
        dc.SetBrush(wxBrush(colour.IsOk() ? colour : wxColour(252, 156, 0)));
        dc.DrawRectangle(rect.x, rect.y, clamped * rect.width / 100, rect.height);
    }
    dc.SetTextForeground(isSelected && percent == 0 ? grid.GetSelectionForeground() : *wxBLACK);
    // Vertically centred, a few pixels in from the left.
    const int textHeight = dc.GetTextExtent(text).y;
    dc.DrawText(text, rect.x + 4, rect.y + (rect.height - textHeight) / 2);
}
