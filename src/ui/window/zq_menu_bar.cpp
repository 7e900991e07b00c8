#include "window/zq_menu_bar.h"

#include "app/language_file.h"
#include "common/face_style.h"
#include "dialog/about_dialog.h"
#include "window/base/zl_menu_button.h"
#include "window/zl_menu_bar.h"

#include <wx/dcbuffer.h>
#include <wx/menu.h>

namespace {
// The languages of the interface, by their own names (not translated).
const struct {
    int id;
    const char* name;
} kLanguages[] = {
    {LanguageFile::kChineseSimplified, "中文简体"},
    {LanguageFile::kChineseTraditional, "中文繁体"},
    {LanguageFile::kGerman, "Deutsch"},
    {LanguageFile::kEnglish, "English"},
    {LanguageFile::kFrench, "Français"},
    {LanguageFile::kItalian, "Italiano"},
    {LanguageFile::kJapanese, "日本語"},
};
constexpr int kTitleInset = 8;
} // namespace

ZqMenuBar::~ZqMenuBar() {
    DeleteMenus();
}

bool ZqMenuBar::Create(const wxBitmap* bitmap, wxWindow* parent, wxWindowID id,
                       const wxPoint& position, long style) {
    background = bitmap;
    const wxSize size =
        background != nullptr && background->IsOk() ? background->GetSize() : wxSize(0, 0);
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    if (!wxPanel::Create(parent, id, position, size, style)) {
        return false;
    }
    titleBar = new ZLMenuBar(this, &titleBackground, wxID_ANY, TitleOrigin(),
                             wxBORDER_NONE | wxTAB_TRAVERSAL);
    CutTitleBackground();
    Bind(wxEVT_PAINT, &ZqMenuBar::OnPaint, this);

    Bind(
        wxEVT_MENU, [this](wxCommandEvent& e) { OnAddFiles(e); }, kAddFiles);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent& e) { OnAddFolder(e); }, kAddFolder);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent& e) { OnOpenLogFolder(e); }, kOpenLogFolder);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent& e) { OnExit(e); }, wxID_EXIT);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent& e) { OnDelete(e); }, kDelete);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent& e) { OnClearAll(e); }, kClearAll);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent& e) { OnSelectAll(e); }, kSelectAll);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent& e) { OnSelectInvert(e); }, kSelectInvert);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent& e) { OnPreference(e); }, wxID_PREFERENCES);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent& e) { DhMenuBarBase::OnHelp(e); }, kHelp);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent& e) { OnSupport(e); }, kSupport);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent& e) { OnCheckForUpdate(e); }, kCheckForUpdate);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { ShowAbout(); }, wxID_ABOUT);
    for (const auto& language : kLanguages) {
        Bind(
            wxEVT_MENU, [this](wxCommandEvent& e) { OnLanguage(e); }, language.id);
    }
    BuildMenus();
    return true;
}

void ZqMenuBar::BuildMenus() {
    const wxColour normal = FaceStyle::Colour("/face/menu/text-normal-colour");
    const wxColour current = FaceStyle::Colour("/face/menu/text-current-colour");

    fileMenu = new wxMenu;
    fileMenu->Append(kAddFiles, _("Add File(s)...") + "\tCtrl+O");
    fileMenu->Append(kAddFolder, _("Add Folder...") + "\tCtrl+Shift+O");
    fileMenu->AppendSeparator();
    fileMenu->Append(kOpenLogFolder, _("Open log file directory"));
    fileMenu->AppendSeparator();
    fileMenu->Append(wxID_EXIT, _("Exit") + "\tCtrl+Q");
    titleBar->AppendMenu(kFileTitle, fileMenu, _("File"), normal, current);

    editMenu = new wxMenu;
    editMenu->Append(kDelete, _("Delete") + "\tDel");
    editMenu->Append(kClearAll, _("Clear All"));
    editMenu->AppendSeparator();
    editMenu->Append(kSelectAll, _("Select All") + "\tCtrl+A");
    editMenu->Append(kSelectInvert, _("Select Invert"));
    editMenu->AppendSeparator();
    editMenu->Append(wxID_PREFERENCES, _("Preference"));
    titleBar->AppendMenu(kEditTitle, editMenu, _("Edit"), normal, current);

    languageMenu = new wxMenu;
    for (const auto& language : kLanguages) {
        languageMenu->AppendCheckItem(language.id, wxString::FromUTF8(language.name));
    }
    if (languageMenu->FindItem(currentLanguage) != nullptr) {
        languageMenu->Check(currentLanguage, true);
    }
    helpMenu = new wxMenu;
    helpMenu->Append(kHelp, _("Help") + "\tF1");
    helpMenu->AppendSubMenu(languageMenu, _("Language"));
    helpMenu->AppendSeparator();
    helpMenu->Append(kSupport, _("Support"));
    helpMenu->AppendSeparator();
    helpMenu->Append(kCheckForUpdate, _("Check for Update"));
    helpMenu->AppendSeparator();
    helpMenu->Append(wxID_ABOUT, _("About"));
    titleBar->AppendMenu(kHelpTitle, helpMenu, _("Help"), normal, current);
    EnableMenus(enabled);
}

void ZqMenuBar::DeleteMenus() {
    // The Help menu owns the Language submenu.
    delete fileMenu;
    delete editMenu;
    delete helpMenu;
    fileMenu = editMenu = helpMenu = languageMenu = nullptr;
}

wxPoint ZqMenuBar::TitleOrigin() const {
    // The titles sit a little in from the left, centred in the bar's height.
    const int titleHeight = GetCharHeight() + 4;
    return wxPoint(kTitleInset, std::max(0, (GetSize().y - titleHeight) / 2));
}

void ZqMenuBar::CutTitleBackground() {
    // The titles' own background is the bar's from their origin.
    const wxPoint origin = titleBar->GetPosition();
    const wxSize size =
        background != nullptr && background->IsOk() ? background->GetSize() : wxSize(0, 0);
    if (size.x > origin.x && size.y > origin.y) {
        titleBackground =
            background->GetSubBitmap(wxRect(origin, wxSize(size.x - origin.x, size.y - origin.y)));
    }
}

int ZqMenuBar::NeededHeight() const {
    int height = 0;
    for (const ZlMenuButton* title : titleBar->GetTitles()) {
        height = std::max(height, title->GetSize().y);
    }
    return height + 2 * TitleOrigin().y;
}

void ZqMenuBar::Refit() {
    titleBar->Move(TitleOrigin());
    CutTitleBackground();
    RebuildMenus();
}

void ZqMenuBar::RebuildMenus() {
    titleBar->ClearMenus();
    DeleteMenus();
    BuildMenus();
    Refresh();
}

void ZqMenuBar::EnableMenus(bool enable) {
    enabled = enable;
    if (fileMenu == nullptr) {
        return;
    }
    for (int id : {kAddFiles, kAddFolder}) {
        fileMenu->Enable(id, enable);
    }
    for (int id :
         {static_cast<int>(kDelete), static_cast<int>(kClearAll), static_cast<int>(kSelectAll),
          static_cast<int>(kSelectInvert), static_cast<int>(wxID_PREFERENCES)}) {
        editMenu->Enable(id, enable);
    }
    for (const auto& language : kLanguages) {
        languageMenu->Enable(language.id, enable);
    }
}

void ZqMenuBar::ShowAbout() {
    AboutDialog::Open();
}

void ZqMenuBar::OnPaint(wxPaintEvent&) {
    wxBufferedPaintDC dc(this);
    if (background != nullptr && background->IsOk()) {
        dc.DrawBitmap(*background, 0, 0, true);
    }
}
