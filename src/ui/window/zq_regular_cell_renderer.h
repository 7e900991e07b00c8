#pragma once

#include <wx/grid.h>

// A status cell that always shows a completed bar with "100%".
class ZqRegularCellRenderer : public wxGridCellStringRenderer {
public:
    void Draw(wxGrid& grid, wxGridCellAttr& attr, wxDC& dc, const wxRect& rect, int row, int col,
              bool isSelected) override;
    wxGridCellRenderer* Clone() const override { return new ZqRegularCellRenderer; }
};
