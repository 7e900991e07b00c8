#include "window/zq_regular_cell_renderer.h"

#include <wx/dc.h>

void ZqRegularCellRenderer::Draw(wxGrid& grid, wxGridCellAttr& attr, wxDC& dc, const wxRect& rect,
                                 int row, int col, bool isSelected) {
    wxGridCellStringRenderer::Draw(grid, attr, dc, rect, row, col, isSelected);
    dc.SetPen(*wxBLACK_PEN);
    dc.SetBrush(wxBrush(wxColour(252, 156, 0)));
    dc.DrawRectangle(rect);
    dc.SetTextForeground(*wxWHITE);
    dc.DrawLabel("100%", rect, wxALIGN_LEFT | wxALIGN_TOP);
}
