#include "dialog/setting_page.h"

#include "app/app_util.h"
#include "common/face_reader.h"
#include "dialog/setting_code.h"
#include "domain/domain_page.h"
#include "domain/domain_settings.h"

#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/crt.h>
#include <wx/gbsizer.h>
#include <wx/msgdlg.h>
#include <wx/radiobut.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/spinctrl.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/tokenzr.h>

#include <cmath>

namespace {

// The page types of the installation's page file whose names and descriptions are words
// rather than names (A4, Letter): the list and the size text show them translated.
[[maybe_unused]] const char* const kPageTypeTexts[] = {
    // TRANSLATORS: a page type: each page is as large as its image.
    wxTRANSLATE("Image Size"),
    // TRANSLATORS: the description of the page type "Image Size".
    wxTRANSLATE("each image's own size plus the margins"),
};

wxString Named(const char* key) {
    return DomainSettings::GetNamed(key);
}

bool IsOn(const char* key) {
    return wxAtoi(Named(key)) != 0;
}

// A section title: the default GUI font at the theme's size, bold.
wxStaticText* MakeTitle(wxWindow* parent, const wxString& text) {
    wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    const int size = GetFaceEntry("/face/setting/page/title-font").height;
    if (size > 0) {
        font.SetPointSize(size);
    }
    font.SetWeight(wxFONTWEIGHT_BOLD);
    auto* title = new wxStaticText(parent, wxID_ANY, text);
    title->SetFont(font);
    // Until it is shown, the toolkit measures a label in the font it was created with: the
    // title asks for the room its text takes in the new one.
    title->SetInitialSize(title->GetTextExtent(text));
    return title;
}

wxSpinCtrl* MakeSpin(wxWindow* parent, const char* name, int min, int max, const char* key) {
    auto* spin = new wxSpinCtrl(parent, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                                wxSP_ARROW_KEYS, min, max, wxAtoi(Named(key)), name);
    // At least 60 by 24, and never below what the toolkit needs to draw a spin control.
    wxSize least(60, 24);
    least.IncTo(spin->GetBestSize());
    spin->SetSizeHints(least);
    return spin;
}

void AddLabelled(wxSizer* row, wxWindow* parent, const wxString& label, wxWindow* control,
                 int proportion = 0) {
    row->Add(new wxStaticText(parent, wxID_ANY, label), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
    row->Add(control, proportion, wxALIGN_CENTER_VERTICAL | wxRIGHT, 10);
}

void ShowMessage(const wxString& message, const wxString& caption) {
    wxMessageBox(message, caption, wxOK | wxCENTRE);
}
} // namespace

bool SettingPage::Create(wxWindow* parent, wxWindowID id, const wxPoint& position,
                         const wxSize& size, long style, const wxString& name) {
    if (!wxPanel::Create(parent, id, position, size, style, name)) {
        return false;
    }
    BuildControls();

    const wxArrayString items = SplitItems(Named("page:type:items"));
    m_pageTypes = items;
    wxArrayString shown;
    for (const wxString& item : items) {
        shown.Add(wxGetTranslation(item));
    }
    m_pageTypeList->Set(shown);
    // The stored type, else the default type, else the first one offered.
    for (const wxString& type : {Named("page:type"), Named("page:type:default")}) {
        if (m_pageTypeList->GetSelection() == wxNOT_FOUND && items.Index(type) != wxNOT_FOUND) {
            m_pageTypeList->SetSelection(items.Index(type));
        }
    }
    if (m_pageTypeList->GetSelection() == wxNOT_FOUND && !items.empty()) {
        m_pageTypeList->SetSelection(0);
    }
    ShowTypeSize();

    m_author->ChangeValue(Named("page:author"));
    m_ownerPassword->ChangeValue(Named("page:permission:ownerpassword"));
    m_userPassword->ChangeValue(Named("page:permission:userpassword"));
    m_copy->SetValue(IsOn("page:permission:copy"));
    m_print->SetValue(IsOn("page:permission:print"));
    UpdatePermissions();

    m_selection = wxAtoi(Named("page:size:select"));
    ApplySelection(m_selection);

    Bind(wxEVT_RADIOBUTTON, &SettingPage::OnRadio, this, kPageTypeRadio, kDefaultRadio);
    Bind(wxEVT_COMBOBOX, &SettingPage::OnPageType, this, kPageTypeList);
    Bind(wxEVT_TEXT, &SettingPage::OnOwnerPassword, this, kOwnerPassword);
    return true;
}

void SettingPage::BuildControls() {
    auto* page = new wxBoxSizer(wxVERTICAL);
    page->AddSpacer(10);
    const int border = 10;
    auto addTitle = [&](const wxString& text) {
        page->Add(MakeTitle(this, text), 0, wxLEFT | wxRIGHT | wxTOP, border);
        page->AddSpacer(6);
    };

    addTitle(_("Page Size(mm)"));
    m_pageTypeRadio = new wxRadioButton(this, kPageTypeRadio, _("Page Type"), wxDefaultPosition,
                                        wxDefaultSize, wxRB_GROUP);
    m_pageTypeList =
        new wxComboBox(this, kPageTypeList, wxEmptyString, wxDefaultPosition, wxDefaultSize, 0,
                       nullptr, wxCB_READONLY, wxDefaultValidator, "pagetype");
    m_sizeText = new wxStaticText(this, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                                  wxST_ELLIPSIZE_END, "sizetext");
    auto* typeRow = new wxBoxSizer(wxHORIZONTAL);
    typeRow->Add(m_pageTypeRadio, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 8);
    typeRow->Add(m_pageTypeList, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 8);
    typeRow->Add(m_sizeText, 1, wxALIGN_CENTER_VERTICAL);
    page->Add(typeRow, 0, wxEXPAND | wxLEFT | wxRIGHT, border + 10);

    // TRANSLATORS: a page size given by width and height. The main window uses the same word
    // for an output folder chosen by the user.
    m_customizeRadio = new wxRadioButton(this, kCustomizeRadio, _("Customize"));
    m_width = MakeSpin(this, "width", 2, 840, "page:width");
    m_height = MakeSpin(this, "height", 2, 1188, "page:height");
    auto* customRow = new wxBoxSizer(wxHORIZONTAL);
    customRow->Add(m_customizeRadio, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 8);
    AddLabelled(customRow, this, _("Width:"), m_width);
    AddLabelled(customRow, this, _("Height:"), m_height);
    page->AddSpacer(6);
    page->Add(customRow, 0, wxEXPAND | wxLEFT | wxRIGHT, border + 10);

    // TRANSLATORS: the installation's default page type.
    m_defaultRadio = new wxRadioButton(this, kDefaultRadio, _("Default"));
    page->AddSpacer(6);
    page->Add(m_defaultRadio, 0, wxLEFT | wxRIGHT, border + 10);

    addTitle(_("Document Margins(mm)"));
    m_top = MakeSpin(this, "top", 0, 297, "page:top");
    m_bottom = MakeSpin(this, "bottom", 0, 297, "page:bottom");
    m_left = MakeSpin(this, "left", 0, 210, "page:left");
    m_right = MakeSpin(this, "right", 0, 210, "page:right");
    auto* margins = new wxFlexGridSizer(2, 4, 4, 4);
    auto addMargin = [&](const wxString& label, wxSpinCtrl* spin) {
        margins->Add(new wxStaticText(this, wxID_ANY, label), 0, wxALIGN_CENTER_VERTICAL);
        margins->Add(spin, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 10);
    };
    addMargin(_("Top:"), m_top);
    addMargin(_("Bottom:"), m_bottom);
    addMargin(_("Left:"), m_left);
    addMargin(_("Right:"), m_right);
    page->Add(margins, 0, wxLEFT | wxRIGHT, border + 10);

    addTitle(_("Document Description"));
    m_author = new wxTextCtrl(this, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize, 0,
                              wxDefaultValidator, "author");
    auto* authorRow = new wxBoxSizer(wxHORIZONTAL);
    AddLabelled(authorRow, this, _("Author:"), m_author, 1);
    page->Add(authorRow, 0, wxEXPAND | wxLEFT, border + 10);

    addTitle(_("Document Security"));
    m_ownerPassword =
        new wxTextCtrl(this, kOwnerPassword, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                       wxTE_PASSWORD, wxDefaultValidator, "ownerpassword");
    m_userPassword = new wxTextCtrl(this, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                                    wxTE_PASSWORD, wxDefaultValidator, "userpassword");
    auto* security = new wxGridBagSizer(4, 4);
    security->Add(new wxStaticText(this, wxID_ANY, _("Owner Password:")), wxGBPosition(0, 0),
                  wxDefaultSpan, wxALIGN_CENTER_VERTICAL);
    security->Add(m_ownerPassword, wxGBPosition(0, 1), wxDefaultSpan, wxEXPAND | wxRIGHT, 10);
    security->Add(new wxStaticText(this, wxID_ANY, _("User Password:")), wxGBPosition(1, 0),
                  wxDefaultSpan, wxALIGN_CENTER_VERTICAL);
    security->Add(m_userPassword, wxGBPosition(1, 1), wxDefaultSpan, wxEXPAND | wxRIGHT, 10);
    security->AddGrowableRow(0);
    security->AddGrowableCol(1);
    page->Add(security, 0, wxEXPAND | wxLEFT, border + 10);

    // TRANSLATORS: "Copy" and "Print" are what a reader of the PDF may do: copy its content,
    // print it.
    m_copy = new wxCheckBox(this, wxID_ANY, _("Copy"), wxDefaultPosition, wxDefaultSize, 0,
                            wxDefaultValidator, "copy");
    m_print = new wxCheckBox(this, wxID_ANY, _("Print"), wxDefaultPosition, wxDefaultSize, 0,
                             wxDefaultValidator, "print");
    auto* permissions = new wxBoxSizer(wxHORIZONTAL);
    permissions->Add(new wxStaticText(this, wxID_ANY, _("Permission(allowed):")), 0,
                     wxALIGN_CENTER_VERTICAL | wxRIGHT, 8);
    permissions->Add(m_copy, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 8);
    permissions->Add(m_print, 0, wxALIGN_CENTER_VERTICAL);
    page->Add(permissions, 0, wxLEFT | wxTOP | wxBOTTOM, border + 10);

    SetSizer(page);
}

wxArrayString SettingPage::SplitItems(const wxString& items) {
    wxArrayString result;
    for (const wxString& item : wxSplit(items, ',', '\\')) {
        if (!item.empty()) {
            result.Add(item);
        }
    }
    return result;
}

void SettingPage::ApplySelection(int selection) {
    const int rule = selection == 0 || selection == 1 ? selection : 2;
    m_pageTypeRadio->SetValue(rule == 0);
    m_customizeRadio->SetValue(rule == 1);
    m_defaultRadio->SetValue(rule == 2);
    m_pageTypeList->Enable(rule == 0);
    m_width->Enable(rule == 1);
    m_height->Enable(rule == 1);
}

int SettingPage::GetSelection() const {
    if (m_pageTypeRadio->GetValue()) {
        return 0;
    }
    return m_customizeRadio->GetValue() ? 1 : 2;
}

wxString SettingPage::GetSelectedType() const {
    const int index = m_pageTypeList->GetSelection();
    return index >= 0 && static_cast<size_t>(index) < m_pageTypes.size() ? m_pageTypes[index]
                                                                         : wxString();
}

void SettingPage::ShowTypeSize() {
    const wxString type = GetSelectedType();
    const wxString size = type.empty() ? wxString() : DomainSettings::GetNamed(type);
    // An empty text is not looked up: its "translation" is a catalogue's header.
    m_sizeText->SetLabel(size.empty() ? size : wxGetTranslation(size));
    m_sizeText->SetToolTip(m_sizeText->GetLabel());
}

void SettingPage::UpdatePermissions() {
    // Permissions mean something only with an owner password, which guards them.
    const bool guarded = !m_ownerPassword->GetValue().empty();
    m_copy->Enable(guarded);
    m_print->Enable(guarded);
}

void SettingPage::OnRadio(wxCommandEvent& event) {
    ApplySelection(event.GetId());
}

void SettingPage::OnPageType(wxCommandEvent& event) {
    ShowTypeSize();
    event.Skip();
}

void SettingPage::OnOwnerPassword(wxCommandEvent& event) {
    UpdatePermissions();
    event.Skip();
}

void SettingPage::OnSubjectChanged(CjxSubject* subject, void* argument) {
    AnswerSettingCode(*this, subject, argument);
}

bool SettingPage::Save() {
    const int width = m_width->GetValue();
    const int height = m_height->GetValue();
    const int top = m_top->GetValue();
    const int bottom = m_bottom->GetValue();
    const int left = m_left->GetValue();
    const int right = m_right->GetValue();
    const int selection = GetSelection();
    const wxString type = GetSelectedType();

    // The margins must fit the page that will be used; a page that follows each image's own
    // size has room for any margins.
    double pageWidth = 0;
    double pageHeight = 0;
    if (DomainPage::GetPageSize(selection, type, width, height, pageWidth, pageHeight)) {
        const wxString caption = AppUtil::GetDisplayName();
        if (pageHeight < top + bottom) {
            // TRANSLATORS: %d is the page height in millimetres (the next message: the
            // width).
            ShowMessage(wxString::Format(_("Top value add Bottom value can not bigger than %d."),
                                         static_cast<int>(std::lround(pageHeight))),
                        caption);
            return false;
        }
        if (pageWidth < left + right) {
            ShowMessage(wxString::Format(_("Left value add Right value can not bigger than %d."),
                                         static_cast<int>(std::lround(pageWidth))),
                        caption);
            return false;
        }
    }
    const wxString owner = m_ownerPassword->GetValue();
    const wxString user = m_userPassword->GetValue();
    if (!user.empty()) {
        // TRANSLATORS: the caption of a message box, the toolkit's default one.
        const wxString caption = _("Message");
        if (owner.empty()) {
            ShowMessage(_("Tip: if you set user password, you must also set owner password."),
                        caption);
            return false;
        }
        if (user == owner) {
            ShowMessage(_("Tip: User password must not be the same as owner password."), caption);
            return false;
        }
    }

    DomainSettings::SetNamed("page:size:select", wxString::Format("%d", selection));
    DomainSettings::SetNamed("page:type", type);
    DomainSettings::SetNamed("page:width", wxString::Format("%d", width));
    DomainSettings::SetNamed("page:height", wxString::Format("%d", height));
    DomainSettings::SetNamed("page:top", wxString::Format("%d", top));
    DomainSettings::SetNamed("page:bottom", wxString::Format("%d", bottom));
    DomainSettings::SetNamed("page:left", wxString::Format("%d", left));
    DomainSettings::SetNamed("page:right", wxString::Format("%d", right));
    DomainSettings::SetNamed("page:author", m_author->GetValue());
    DomainSettings::SetNamed("page:permission:ownerpassword", owner);
    DomainSettings::SetNamed("page:permission:userpassword", user);
    DomainSettings::SetNamed("page:permission:copy", m_copy->GetValue() ? "1" : "0");
    DomainSettings::SetNamed("page:permission:print", m_print->GetValue() ? "1" : "0");

    if (!DomainPage().Save()) {
        // TRANSLATORS: %s is the path of the user's page settings file.
        ShowMessage(wxString::Format(_("The page settings could not be written to \"%s\". "
                                       "They apply until the program ends."),
                                     AppUtil::GetPagePath(true)),
                    AppUtil::GetDisplayName());
        return false;
    }
    return true;
}

void SettingPage::Reset() {
    m_width->SetValue(210);
    m_height->SetValue(297);
    for (wxSpinCtrl* margin : {m_top, m_bottom, m_left, m_right}) {
        margin->SetValue(10);
    }
    m_author->Clear();
    m_userPassword->Clear();
    m_ownerPassword->Clear();
    m_copy->SetValue(false);
    m_print->SetValue(false);
    UpdatePermissions();
}
