#include "window/zq_choice_cell_renderer.h"

#include "window/dh_grid_cell_choice_editor.h"

#include <wx/dc.h>
#include <wx/renderer.h>
#include <wx/settings.h>

ZqChoiceCellRenderer::ZqChoiceCellRenderer(const wxArrayString& choices)
    : wxGridCellEnumRenderer(DhGridCellChoiceEditor::Join(choices)), m_entries(choices) {}

void ZqChoiceCellRenderer::Draw(wxGrid& grid, wxGridCellAttr& attr, wxDC& dc, const wxRect& rect,
                                int row, int col, bool isSelected) {
    wxGridCellRenderer::Draw(grid, attr, dc, rect, row, col, isSelected);
    const long index = wxAtol(grid.GetCellValue(row, col));
    const wxString text =
        index >= 0 && static_cast<size_t>(index) < m_entries.size() ? m_entries[index] : wxString();
    wxRect box = rect;
    box.Deflate(3, 3);
    wxRendererNative::Get().DrawComboBox(&grid, dc, box, 0);
    dc.SetFont(attr.GetFont());
    dc.SetTextForeground(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT));
    wxRect label = box;
    label.Deflate(6, 0);
    dc.DrawLabel(text, label, wxALIGN_LEFT | wxALIGN_CENTRE_VERTICAL);
}
