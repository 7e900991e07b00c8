#include "window/dh_grid_cell_choice_editor.h"

#include <wx/combobox.h>

wxString DhGridCellChoiceEditor::Join(const wxArrayString& choices) {
    wxString joined;
    for (const wxString& choice : choices) {
        joined += (joined.empty() ? "" : ",") + choice;
    }
    return joined;
}

DhGridCellChoiceEditor::DhGridCellChoiceEditor(const wxArrayString& choices)
    : wxGridCellEnumEditor(Join(choices)), m_entries(choices) {}

void DhGridCellChoiceEditor::BeginEdit(int row, int col, wxGrid* grid) {
    wxGridCellEnumEditor::BeginEdit(row, col, grid);
    if (auto* combo = dynamic_cast<wxComboBox*>(GetControl())) {
        combo->CallAfter([combo] {
            if (combo->IsShownOnScreen()) {
                combo->Popup();
            }
        });
    }
}
