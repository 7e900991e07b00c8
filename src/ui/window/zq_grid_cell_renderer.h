#pragma once

#include <wx/colour.h>
#include <wx/grid.h>

// The status cell of the file list: a progress bar of `percent` of the cell's width in the
// renderer's colour, with the status text over it.
class ZqGridCellRenderer : public wxGridCellStringRenderer {
public:
    void Draw(wxGrid& grid, wxGridCellAttr& attr, wxDC& dc, const wxRect& rect, int row, int col,
              bool isSelected) override;
    wxGridCellRenderer* Clone() const override { return new ZqGridCellRenderer(*this); }

    void SetColour(const wxColour& value) { colour = value; }
    void SetText(const wxString& value) { text = value; }

    int percent = 0; // 0 draws no bar
    wxString text;
    wxColour colour;
};
