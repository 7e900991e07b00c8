#pragma once

#include <wx/arrstr.h>
#include <wx/grid.h>

// Draws a choice cell (the index of an entry) as a closed drop-down list showing the entry,
// the way the editor looks, without creating a control per row.
class ZqChoiceCellRenderer : public wxGridCellEnumRenderer {
public:
    explicit ZqChoiceCellRenderer(const wxArrayString& choices);

    void Draw(wxGrid& grid, wxGridCellAttr& attr, wxDC& dc, const wxRect& rect, int row, int col,
              bool isSelected) override;
    wxGridCellRenderer* Clone() const override { return new ZqChoiceCellRenderer(m_entries); }

private:
    wxArrayString m_entries;
};
