#include "dialog/setting_page.h"

#include "app/app_util.h"
#include "common/face_reader.h"
#include "dialog/setting_code.h"
#include "domain/domain_convert_pdf_creator.h"
#include "domain/domain_page.h"
#include "domain/domain_settings.h"
#include "domain/job_settings.h"

#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/combobox.h>
#include <wx/crt.h>
#include <wx/gbsizer.h>
#include <wx/msgdlg.h>
#include <wx/radiobut.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/tokenzr.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <utility>

namespace {

// The page types of the installation's page file whose names and descriptions are words
// rather than names (A4, Letter): the list and the size text show them translated.
[[maybe_unused]] const char* const kPageTypeTexts[] = {
    // TRANSLATORS: a page type: each page is as large as its image.
    wxTRANSLATE("Image Size"),
    // TRANSLATORS: the description of the page type "Image Size".
    wxTRANSLATE("each image's own size plus the margins"),
};

// The archive formats the choice offers after "Off", as the named setting "page:pdfa" has them.
const char* const kArchiveParts[] = {"1b", "2b", "3b"};

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

// A field for a length in millimetres, wide enough for "1188.25".
wxTextCtrl* MakeLengthField(wxWindow* parent, const char* name, const char* key) {
    auto* field = new wxTextCtrl(parent, wxID_ANY, Named(key), wxDefaultPosition, wxDefaultSize, 0,
                                 wxDefaultValidator, name);
    field->SetInitialSize(field->GetSizeFromTextSize(field->GetTextExtent("8888.88")));
    return field;
}

void AddLabelled(wxSizer* row, wxWindow* parent, const wxString& label, wxWindow* control,
                 int proportion = 0) {
    row->Add(new wxStaticText(parent, wxID_ANY, label), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
    row->Add(control, proportion, wxALIGN_CENTER_VERTICAL | wxRIGHT, 10);
}

void ShowMessage(const wxString& message, const wxString& caption) {
    wxMessageBox(message, caption, wxOK | wxCENTRE);
}

wxString Millimetres(double value) {
    return DomainPage::FormatMillimetres(value, 2);
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
    // Room for the size text of every type, so that choosing one moves nothing; the text
    // keeps to its place (and is shortened) when the window is made narrower.
    int widest = 0;
    for (const wxString& item : items) {
        const wxString text = DomainSettings::GetNamed(item);
        if (!text.empty()) {
            widest = std::max(widest, m_sizeText->GetTextExtent(wxGetTranslation(text)).x);
        }
    }
    m_sizeText->SetMinSize(wxSize(widest, -1));
    // The stored type, else the default type, else the first one offered.
    if (!SelectType(Named("page:type")) && !SelectType(Named("page:type:default")) &&
        !items.empty()) {
        m_pageTypeList->SetSelection(0);
    }
    ShowTypeSize();

    m_author->ChangeValue(Named("page:author"));
    m_archive->SetSelection(0);
    for (size_t i = 0; i < std::size(kArchiveParts); ++i) {
        if (Named("page:pdfa") == kArchiveParts[i]) {
            m_archive->SetSelection(static_cast<int>(i) + 1);
        }
    }
    // A language chosen earlier and removed since stays offered: Start then says it is
    // missing, rather than the choice changing unseen.
    const wxString ocr = Named("page:ocr");
    if (!ocr.empty() && m_ocrLanguages.Index(ocr) == wxNOT_FOUND) {
        m_ocrLanguages.Add(ocr);
        m_ocr->Append(ocr);
    }
    m_ocr->SetSelection(ocr.empty() ? 0 : m_ocrLanguages.Index(ocr) + 1);
    m_ownerPassword->ChangeValue(Named("page:permission:ownerpassword"));
    m_userPassword->ChangeValue(Named("page:permission:userpassword"));
    m_copy->SetValue(IsOn("page:permission:copy"));
    m_print->SetValue(IsOn("page:permission:print"));
    ApplySelection(wxAtoi(Named("page:size:select")));

    Bind(wxEVT_RADIOBUTTON, &SettingPage::OnRadio, this, kPageTypeRadio, kDefaultRadio);
    Bind(wxEVT_COMBOBOX, &SettingPage::OnPageType, this, kPageTypeList);
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
                                  wxST_ELLIPSIZE_END | wxST_NO_AUTORESIZE, "sizetext");
    auto* typeRow = new wxBoxSizer(wxHORIZONTAL);
    typeRow->Add(m_pageTypeRadio, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 8);
    typeRow->Add(m_pageTypeList, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 8);
    typeRow->Add(m_sizeText, 1, wxALIGN_CENTER_VERTICAL);
    page->Add(typeRow, 0, wxEXPAND | wxLEFT | wxRIGHT, border + 10);

    // TRANSLATORS: a page size given by width and height. The main window uses the same word
    // for an output folder chosen by the user.
    m_customizeRadio = new wxRadioButton(this, kCustomizeRadio, _("Customize"));
    m_width = MakeLengthField(this, "width", "page:width");
    m_height = MakeLengthField(this, "height", "page:height");
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
    m_top = MakeLengthField(this, "top", "page:top");
    m_bottom = MakeLengthField(this, "bottom", "page:bottom");
    m_left = MakeLengthField(this, "left", "page:left");
    m_right = MakeLengthField(this, "right", "page:right");
    auto* margins = new wxFlexGridSizer(2, 4, 4, 4);
    auto addMargin = [&](const wxString& label, wxTextCtrl* field) {
        margins->Add(new wxStaticText(this, wxID_ANY, label), 0, wxALIGN_CENTER_VERTICAL);
        margins->Add(field, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 10);
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
    wxArrayString archives;
    // TRANSLATORS: no archive format: a plain PDF.
    archives.Add(_("Off"));
    for (const char* part : kArchiveParts) {
        archives.Add(wxString("PDF/A-") + part);
    }
    m_archive = new wxChoice(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, archives, 0,
                             wxDefaultValidator, "archive");
    m_archive->SetToolTip(_("PDF/A is the PDF for long-term archiving. It cannot be encrypted: "
                            "no passwords, copying and printing allowed."));
    auto* archiveRow = new wxBoxSizer(wxHORIZONTAL);
    // TRANSLATORS: the kind of PDF written for long-term archiving (PDF/A) or a plain PDF.
    AddLabelled(archiveRow, this, _("Archive format (PDF/A):"), m_archive);
    page->AddSpacer(6);
    page->Add(archiveRow, 0, wxLEFT, border + 10);

    // The OCR languages installed, as the engine names them ("eng", "deu").
    char installed[4096] = "";
    PdfOcrListLanguages(nullptr, installed, sizeof installed);
    m_ocrLanguages.clear();
    for (const wxString& language : wxSplit(wxString::FromUTF8(installed), '+', '\0')) {
        if (!language.empty()) {
            m_ocrLanguages.Add(language);
        }
    }
    wxArrayString ocrItems;
    // TRANSLATORS: no text recognition: the PDF holds the image only.
    ocrItems.Add(_("Off"));
    for (const wxString& language : m_ocrLanguages) {
        ocrItems.Add(language);
    }
    m_ocr = new wxChoice(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, ocrItems, 0,
                         wxDefaultValidator, "ocr");
    m_ocr->SetToolTip(_("Recognises the text of each image in the language chosen and lays it "
                        "invisibly over the image, which stays as it is: the PDF can be "
                        "searched and its text selected and copied."));
    auto* ocrRow = new wxBoxSizer(wxHORIZONTAL);
    // TRANSLATORS: optical character recognition, which makes the text of a scan searchable.
    AddLabelled(ocrRow, this, _("Text recognition (OCR):"), m_ocr);
    page->AddSpacer(6);
    page->Add(ocrRow, 0, wxLEFT, border + 10);

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

bool SettingPage::SelectType(const wxString& type) {
    const int index = m_pageTypes.Index(type);
    if (type.empty() || index == wxNOT_FOUND) {
        return false;
    }
    m_pageTypeList->SetSelection(index);
    return true;
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

void SettingPage::OnRadio(wxCommandEvent& event) {
    ApplySelection(event.GetId());
}

void SettingPage::OnPageType(wxCommandEvent& event) {
    ShowTypeSize();
    event.Skip();
}

void SettingPage::OnSubjectChanged(CjxSubject* subject, void* argument) {
    AnswerSettingCode(*this, subject, argument);
}

wxString SettingPage::FieldName(const LengthField& field) const {
    if (field.control == m_width) {
        // TRANSLATORS: the names of the page size and margin fields, in the messages that
        // refuse what was typed in them.
        return _("Page width");
    }
    if (field.control == m_height) {
        return _("Page height");
    }
    if (field.control == m_top) {
        return _("Top margin");
    }
    if (field.control == m_bottom) {
        return _("Bottom margin");
    }
    return field.control == m_left ? _("Left margin") : _("Right margin");
}

void SettingPage::Refuse(const wxString& message, const wxString& caption, wxTextCtrl* control) {
    ShowMessage(message, caption);
    if (control != nullptr) {
        control->SetFocus();
        control->SelectAll();
    }
}

bool SettingPage::ReadLength(const LengthField& field, double& value) {
    const wxString text = field.control->GetValue().Strip(wxString::both);
    const wxString name = FieldName(field);
    const wxString min = Millimetres(field.min);
    const wxString max = Millimetres(field.max);
    const wxString caption = AppUtil::GetDisplayName();
    if (text.empty()) {
        // TRANSLATORS: %1$s is a field name ("Top margin"), %2$s and %3$s the smallest and
        // largest length it takes.
        Refuse(wxString::Format(_("%s is empty. Enter a length from %s to %s mm."), name, min, max),
               caption, field.control);
        return false;
    }
    if (!DomainPage::ParseMillimetres(text, value)) {
        // TRANSLATORS: %1$s is a field name ("Top margin"), %2$s what was typed in it, %3$s
        // and %4$s the smallest and largest length it takes.
        Refuse(wxString::Format(_("%s: \"%s\" is not a number. Enter a length from %s to %s "
                                  "mm, such as 12.7."),
                                name, text, min, max),
               caption, field.control);
        return false;
    }
    if (value < field.min || value > field.max) {
        // TRANSLATORS: %1$s is a field name ("Top margin"), %2$s the length typed in it, %3$s
        // and %4$s the smallest and largest length it takes.
        Refuse(wxString::Format(_("%s: %s mm is out of range. Enter a length from %s to %s mm."),
                                name, text, min, max),
               caption, field.control);
        return false;
    }
    return true;
}

bool SettingPage::Save() {
    const int selection = GetSelection();
    const wxString type = GetSelectedType();
    const LengthField sizes[] = {
        {m_width, "page:width", 2, 840},
        {m_height, "page:height", 2, 1188},
    };
    const LengthField margins[] = {
        {m_top, "page:top", 0, 297},
        {m_bottom, "page:bottom", 0, 297},
        {m_left, "page:left", 0, 210},
        {m_right, "page:right", 0, 210},
    };
    // The named settings this Save stores, as text.
    std::map<wxString, wxString> values;
    for (const LengthField& field : sizes) {
        double value = 0;
        if (selection == 1) {
            if (!ReadLength(field, value)) {
                return false;
            }
            values[field.key] = DomainPage::FormatMillimetres(value);
        } else if (DomainPage::ParseMillimetres(field.control->GetValue(), value) &&
                   value >= field.min && value <= field.max) {
            // Not in use: kept when it is sound, else left as stored.
            values[field.key] = DomainPage::FormatMillimetres(value);
        }
    }
    for (const LengthField& field : margins) {
        double value = 0;
        if (!ReadLength(field, value)) {
            return false;
        }
        values[field.key] = DomainPage::FormatMillimetres(value);
    }
    values["page:size:select"] = wxString::Format("%d", selection);
    values["page:type"] = type;

    // The margins must leave room on the page the converter will make, upright and turned
    // for a landscape image; a page that follows each image's own size has room for any.
    JobSettings candidate;
    candidate.page = DomainSettings::GetNamedWithPrefix("page:");
    for (const auto& [key, value] : values) {
        candidate.page[key] = value;
    }
    double limit = 0;
    switch (DomainConvertPdfCreator::CheckRoom(candidate, limit)) {
    case PageGeometry::Room::kTopBottom:
        // TRANSLATORS: %s is a length in millimetres (the next message likewise).
        Refuse(wxString::Format(_("The top and bottom margins together must be less than %s "
                                  "mm, the shorter side of the page: a landscape image turns "
                                  "the page."),
                                Millimetres(limit)),
               AppUtil::GetDisplayName(), m_top);
        return false;
    case PageGeometry::Room::kLeftRight:
        Refuse(wxString::Format(_("The left and right margins together must be less than %s "
                                  "mm, the shorter side of the page: a landscape image turns "
                                  "the page."),
                                Millimetres(limit)),
               AppUtil::GetDisplayName(), m_left);
        return false;
    default:
        break;
    }

    const wxString owner = m_ownerPassword->GetValue();
    const wxString user = m_userPassword->GetValue();
    if (!user.empty()) {
        // TRANSLATORS: the caption of a message box, the toolkit's default one.
        const wxString caption = _("Message");
        if (owner.empty()) {
            Refuse(_("Tip: if you set user password, you must also set owner password."), caption,
                   m_ownerPassword);
            return false;
        }
        if (user == owner) {
            Refuse(_("Tip: User password must not be the same as owner password."), caption,
                   m_userPassword);
            return false;
        }
    }

    const int archive = m_archive->GetSelection();
    if (archive > 0 &&
        (!owner.empty() || !user.empty() || !m_copy->GetValue() || !m_print->GetValue())) {
        Refuse(_("PDF/A forbids encryption: an archival PDF cannot have passwords or "
                 "restrictions. Clear both passwords and allow Copy and Print, or set the "
                 "archive format to Off."),
               AppUtil::GetDisplayName(), nullptr);
        m_archive->SetFocus();
        return false;
    }

    for (const auto& [key, value] : values) {
        DomainSettings::SetNamed(key, value);
    }
    DomainSettings::SetNamed("page:author", m_author->GetValue());
    DomainSettings::SetNamed("page:pdfa", archive > 0 ? kArchiveParts[archive - 1] : "");
    const int ocr = m_ocr->GetSelection();
    DomainSettings::SetNamed("page:ocr", ocr > 0 ? m_ocrLanguages[ocr - 1] : wxString());
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
    ApplySelection(wxAtoi(Named("page:size:select:default")));
    if (!SelectType(Named("page:type:default")) && !m_pageTypes.empty()) {
        m_pageTypeList->SetSelection(0);
    }
    ShowTypeSize();
    const std::pair<wxTextCtrl*, const char*> lengths[] = {
        {m_width, "page:width:default"}, {m_height, "page:height:default"},
        {m_top, "page:top:default"},     {m_bottom, "page:bottom:default"},
        {m_left, "page:left:default"},   {m_right, "page:right:default"},
    };
    for (const auto& [field, key] : lengths) {
        field->ChangeValue(Named(key));
    }
    m_author->Clear();
    m_archive->SetSelection(0);
    m_ocr->SetSelection(0);
    m_userPassword->Clear();
    m_ownerPassword->Clear();
    // A new user's documents may be copied and printed.
    m_copy->SetValue(true);
    m_print->SetValue(true);
}
