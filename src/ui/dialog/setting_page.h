#pragma once

#include "window/base/cjx_observer.h"
#include "window/base/cjx_subject.h"

#include <wx/arrstr.h>
#include <wx/panel.h>

class wxCheckBox;
class wxChoice;
class wxComboBox;
class wxRadioButton;
class wxStaticText;
class wxTextCtrl;

// The "Page Setting" page of the preference dialog: page type or size, margins, author,
// archive format (PDF/A), passwords and permissions, shown from the named settings, checked and
// stored back when the dialog saves (code 28), put back to the defaults of a new user when it
// resets (code 29). The size selection, page type, size, margins, author and archive format are
// written to the user page file; passwords and permissions last until the program ends. An archive
// format together with a password or a restriction is refused: PDF/A forbids encryption.
//
// Sizes and margins are typed in millimetres, with decimals; a value that is not a number or
// lies outside its field's range is refused, naming the field, and so are margins that leave
// an image no room on the page, upright or turned for a landscape image.
//
// Its controls carry names for lookup: "pagetype", "width", "height", "top", "bottom",
// "left", "right", "author", "archive", "ownerpassword", "userpassword", "copy", "print".
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
    // Puts the defaults of a new user into the controls: the default size selection, page
    // type, size and margins, no author, a plain PDF, no passwords, copying and printing
    // allowed.
    // Nothing is stored until Save.
    void Reset();

    // The offered page types: the items text split at "," (a backslash escapes a comma),
    // without empty items.
    static wxArrayString SplitItems(const wxString& items);

private:
    // A length field: its control, its named setting and the range it accepts.
    struct LengthField {
        wxTextCtrl* control;
        const char* key;
        double min;
        double max;
    };

    void BuildControls();
    // Switches the radio for the size selection on and enables the controls that go with it.
    void ApplySelection(int selection);
    int GetSelection() const;
    // Selects a page type of the list by its name in the page file; false when it is not
    // offered.
    bool SelectType(const wxString& type);
    // The page type chosen in the list, as the page file names it.
    wxString GetSelectedType() const;
    void ShowTypeSize();
    // The name of a length field as messages give it.
    wxString FieldName(const LengthField& field) const;
    // Reads a length field; false, after a message naming the field, when it holds no number
    // within its range.
    bool ReadLength(const LengthField& field, double& value);
    // Shows a refusal and puts the keyboard in the control that caused it.
    void Refuse(const wxString& message, const wxString& caption, wxTextCtrl* control);
    void OnRadio(wxCommandEvent& event);
    void OnPageType(wxCommandEvent& event);

    wxRadioButton* m_pageTypeRadio = nullptr;
    // The list shows the page types translated; these are their names in the page file.
    wxArrayString m_pageTypes;
    wxComboBox* m_pageTypeList = nullptr;
    wxStaticText* m_sizeText = nullptr;
    wxRadioButton* m_customizeRadio = nullptr;
    wxTextCtrl* m_width = nullptr;
    wxTextCtrl* m_height = nullptr;
    wxRadioButton* m_defaultRadio = nullptr;
    wxTextCtrl* m_top = nullptr;
    wxTextCtrl* m_bottom = nullptr;
    wxTextCtrl* m_left = nullptr;
    wxTextCtrl* m_right = nullptr;
    wxTextCtrl* m_author = nullptr;
    wxChoice* m_archive = nullptr; // off, then PDF/A-1b, 2b and 3b
    wxChoice* m_ocr = nullptr;     // off, then the OCR languages installed
    wxArrayString m_ocrLanguages;  // the languages after "Off", as "page:ocr" has them
    wxTextCtrl* m_ownerPassword = nullptr;
    wxTextCtrl* m_userPassword = nullptr;
    wxCheckBox* m_copy = nullptr;
    wxCheckBox* m_print = nullptr;
};
