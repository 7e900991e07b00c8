#pragma once

#include "window/base/cjx_observer.h"
#include "window/base/cjx_subject.h"

#include <wx/arrstr.h>
#include <wx/panel.h>

class wxCheckBox;
class wxComboBox;
class wxRadioButton;
class wxSpinCtrl;
class wxStaticText;
class wxTextCtrl;

// The "Page Setting" page of the preference dialog: page type or size, margins, author,
// passwords and permissions, shown from the named settings, checked and stored back when the
// dialog saves (code 28), cleared to the defaults when it resets (code 29). The page type,
// size, margins and author are written to the user page file; the size choice, passwords and
// permissions last until the program ends.
//
// Its controls carry names for lookup: "pagetype", "width", "height", "top", "bottom",
// "left", "right", "author", "ownerpassword", "userpassword", "copy", "print".
class SettingPage : public wxPanel, public CjxObserver, public CjxSubject {
public:
    enum {
        kPageTypeRadio = 0,
        kCustomizeRadio = 1,
        kDefaultRadio = 2,
        kPageTypeList = 3,
        kOwnerPassword = 4,
    };

    SettingPage() = default;

    bool Create(wxWindow* parent, wxWindowID id = wxID_ANY,
                const wxPoint& position = wxDefaultPosition, const wxSize& size = wxDefaultSize,
                long style = wxTAB_TRAVERSAL | wxNO_BORDER, const wxString& name = wxPanelNameStr);

    // Code 28 saves (a refusal sets the int result to 1), code 29 resets.
    void OnSubjectChanged(CjxSubject* subject, void* argument) override;

    // Checks the input, stores it in the named settings and writes the page file. False,
    // after a message, when the input is refused or the file cannot be written.
    bool Save();
    // Puts the default size, margins, empty author and passwords and no permissions into
    // the controls; nothing is stored until Save.
    void Reset();

    // The offered page types: the items text split at "," (a backslash escapes a comma),
    // without empty items.
    static wxArrayString SplitItems(const wxString& items);

private:
    void BuildControls();
    // Switches the radio for the size selection on and enables the controls that go with it.
    void ApplySelection(int selection);
    int GetSelection() const;
    // The page type chosen in the list, as the page file names it.
    wxString GetSelectedType() const;
    void ShowTypeSize();
    void UpdatePermissions();
    void OnRadio(wxCommandEvent& event);
    void OnPageType(wxCommandEvent& event);
    void OnOwnerPassword(wxCommandEvent& event);

    wxRadioButton* m_pageTypeRadio = nullptr;
    // The list shows the page types translated; these are their names in the page file.
    wxArrayString m_pageTypes;
    wxComboBox* m_pageTypeList = nullptr;
    wxStaticText* m_sizeText = nullptr;
    wxRadioButton* m_customizeRadio = nullptr;
    wxSpinCtrl* m_width = nullptr;
    wxSpinCtrl* m_height = nullptr;
    wxRadioButton* m_defaultRadio = nullptr;
    wxSpinCtrl* m_top = nullptr;
    wxSpinCtrl* m_bottom = nullptr;
    wxSpinCtrl* m_left = nullptr;
    wxSpinCtrl* m_right = nullptr;
    wxTextCtrl* m_author = nullptr;
    wxTextCtrl* m_ownerPassword = nullptr;
    wxTextCtrl* m_userPassword = nullptr;
    wxCheckBox* m_copy = nullptr;
    wxCheckBox* m_print = nullptr;
    // The size selection read when the page was created.
    int m_selection = 2;
};
