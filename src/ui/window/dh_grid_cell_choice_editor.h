#pragma once

#include <wx/arrstr.h>
#include <wx/grid.h>

// The editor of a choice column whose cells hold the index of the chosen entry. Created only
// when a cell is edited (the column's renderer draws every other cell); it opens its list at
// once, so that one click on a cell shows the choices.
class DhGridCellChoiceEditor : public wxGridCellEnumEditor {
public:
    explicit DhGridCellChoiceEditor(const wxArrayString& choices);

    void BeginEdit(int row, int col, wxGrid* grid) override;
    wxGridCellEditor* Clone() const override { return new DhGridCellChoiceEditor(m_entries); }

    // The choices as the toolkit's enum editor and renderer take them ("a,b,c").
    static wxString Join(const wxArrayString& choices);

private:
    wxArrayString m_entries;
};
