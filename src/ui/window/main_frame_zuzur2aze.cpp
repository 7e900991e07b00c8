#include "window/main_frame_zuzur2aze.h"

#include "common/accessible.h"

#include "app/app_util.h"
#include "app/language_file.h"
#include "app/main_app.h"
#include "common/face_reader.h"
#include "common/face_style.h"
#include "common/image_util.h"
#include "common/stretch_layout.h"
#include "dialog/preference_dialog.h"
#include "domain/domain_convert_zuzur2aze.h"
#include "domain/domain_page.h"
#include "domain/domain_settings.h"
#include "window/base/dh_window_resize.h"
#include "window/base/dh_word_button.h"
#include "window/base/zq_piece_window.h"
#include "window/file_grid_table.h"
#include "window/notify_code.h"
#include "window/output_window.h"
#include "window/select_window.h"
#include "window/title_window.h"
#include "window/xy_grid.h"
#include "window/zl_menu_bar.h"
#include "window/zq_menu_bar.h"
#include "window/zq_tool_bar.h"

#include <wx/combobox.h>
#include <wx/dcbuffer.h>
#include <wx/msgdlg.h>
#include <wx/textctrl.h>

namespace {
// The columns of the list, in order.
const struct {
    const char* label;
    int width;
    int kind;
    bool hidden;
} kColumns[] = {
    {wxTRANSLATE("File Name"), 200, FileGridTable::kReadOnly, false},
    // TRANSLATORS: the column of the file sizes.
    {wxTRANSLATE("Size"), 100, FileGridTable::kReadOnly, false},
    {wxTRANSLATE("Output Type"), 100, FileGridTable::kChoice, false},
    {wxTRANSLATE("Output Name"), 150, FileGridTable::kEditable, false},
    {wxTRANSLATE("Status"), 170, FileGridTable::kStatus, false},
    {wxTRANSLATE("Source Path"), 0, FileGridTable::kReadOnly, true},
    {wxTRANSLATE("Source Dir"), 0, FileGridTable::kReadOnly, true},
    {wxTRANSLATE("Product Type"), 0, FileGridTable::kReadOnly, true},
};

// True when the focused control takes typed text: shortcuts that are also editing keys
// (Delete, Ctrl+A) belong to it then.
bool TypingInText(const SelectWindow* list) {
    wxWindow* focus = wxWindow::FindFocus();
    return list->GetGrid()->IsCellEditControlShown() ||
           dynamic_cast<wxTextEntry*>(focus) != nullptr;
}
} // namespace

MainFrameZUZUR2AZE::MainFrameZUZUR2AZE() = default;

MainFrameZUZUR2AZE::~MainFrameZUZUR2AZE() {
    // The panels go first: the list still speaks to the conversion object as it goes.
    DestroyChildren();
    if (converter) {
        converter->CloseChannel();
    }
}

wxBitmap* MainFrameZUZUR2AZE::CutPanel(const char* face, wxRect& rect) const {
    const FaceEntry& entry = GetFaceEntry(face);
    const wxSize size = background->GetSize();
    // A width or height of 0 reaches the background's right or bottom edge.
    rect = wxRect(entry.x, entry.y, entry.width > 0 ? entry.width : size.x - entry.x,
                  entry.height > 0 ? entry.height : size.y - entry.y);
    return ImageUtil::CropBitmapStrict(*background, rect.x, rect.y, rect.width, rect.height);
}

bool MainFrameZUZUR2AZE::Create(wxWindowID id, const wxString& title) {
    DomainPage page;
    if (!page.Load()) {
        // TRANSLATORS: %s is the path of the installation's default page settings file.
        wxGetApp().AddStartupProblem(
            wxTRANSLATE("The page settings file \"%s\" is missing or damaged. Built-in page "
                        "settings are used."),
            AppUtil::GetPagePath(false));
    }
    SetLanguage(LanguageFile::ReadLanguage());

    wxBitmap* screen = ImageUtil::LoadThemeBitmapPtr("image/screen1.png");
    if (!screen->IsOk()) {
        delete screen;
        screen = new wxBitmap(900, 620);
    }
    if (!CreateFrame(id, screen, title)) {
        return false;
    }

    body = new ZqPieceWindow;
    body->Create(this, new wxBitmap(*background), 2005, wxPoint(0, 0), background->GetSize());
    wxBitmap* piece = CutPanel("/face/titlebar", designRects[kTitle]);
    titleBar = new TitleWindow;
    titleBar->Create(body, piece, 2001, designRects[kTitle].GetPosition(),
                     designRects[kTitle].GetSize());
    menuPiece.reset(CutPanel("/face/menubar", designRects[kMenu]));
    menuBar = new ZqMenuBar;
    menuBar->SetCurrentLanguage(LanguageFile::ReadLanguage());
    menuBar->Create(menuPiece.get(), body, 2002, designRects[kMenu].GetPosition());
    piece = CutPanel("/face/toolbar", designRects[kTool]);
    toolBar = new ZqToolBar;
    toolBar->Create(body, piece, 2003, designRects[kTool].GetPosition(),
                    designRects[kTool].GetSize());
    piece = CutPanel("/face/selectwidow", designRects[kList]);
    fileList = new SelectWindow;
    fileList->Create(body, piece, 2006, designRects[kList].GetPosition(),
                     designRects[kList].GetSize());
    piece = CutPanel("/face/outputwindow", designRects[kOutput]);
    outputPanel = new OutputWindow;
    outputPanel->Create(body, piece, 2007, designRects[kOutput].GetPosition(),
                        designRects[kOutput].GetSize());
    std::copy(std::begin(designRects), std::end(designRects), std::begin(themeRects));

    DomainSettings::SetKeyed(DomainSettings::kStatusColumn, "4");
    DomainSettings::SetKeyed(DomainSettings::kOutputType, "0");
    fileList->AddOutputTypeChoice("PDF");
    for (const auto& column : kColumns) {
        fileList->AddColumn(wxString(), column.width, column.kind, column.hidden);
    }
    converter = std::make_unique<DomainConvertZUZUR2AZE>();
    fileList->SetConverter(converter.get());
    SetColumnLabels();

    // The file list tells every panel and the frame; the panels that command it tell it
    // and the frame.
    for (CjxObserver* observer :
         std::initializer_list<CjxObserver*>{outputPanel, toolBar, menuBar, titleBar, this}) {
        fileList->Attach(observer);
    }
    for (CjxSubject* subject : std::initializer_list<CjxSubject*>{toolBar, outputPanel, menuBar}) {
        subject->Attach(fileList);
        subject->Attach(this);
    }
    outputPanel->SetMergeOffered(true);

    // Dragging an edge of the window resizes it: the panels along the edges and the strips of
    // the background between them take the pointer.
    resizer = std::make_unique<DhWindowResize>(this);
    for (wxWindow* edge :
         std::initializer_list<wxWindow*>{body, titleBar, menuBar, toolBar, outputPanel}) {
        resizer->Watch(edge);
    }
    UpdateMinSize();
    SetClientSize(background->GetSize());
    Centre(wxBOTH);
    PrepareGuideImages();
    fileList->Bind(wxEVT_PAINT, &MainFrameZUZUR2AZE::OnFileListPaint, this);
    // The keyboard starts on the first tool button.
    toolBar->GetButton(ZqToolBar::kAddFile)->SetFocus();
    Bind(wxEVT_CHAR_HOOK, &MainFrameZUZUR2AZE::OnCharHook, this);
    return true;
}

void MainFrameZUZUR2AZE::LayOutPanels() {
    if (body == nullptr) {
        return;
    }
    const StretchLayout layout(GetDesignSize(), GetStretch(), background->GetSize());
    body->ReplacePiece(*background);
    body->SetSize(background->GetSize());
    ZqPieceWindow* const panels[] = {titleBar, nullptr, toolBar, fileList, outputPanel};
    for (int i = 0; i < kPanelCount; ++i) {
        const wxRect rect = layout.Map(designRects[i]);
        const wxBitmap piece =
            ImageUtil::CropBitmap(*background, rect.x, rect.y, rect.width, rect.height);
        if (panels[i] != nullptr) {
            panels[i]->ReplacePiece(piece);
            panels[i]->SetSize(rect);
        } else {
            *menuPiece = piece;
            menuBar->SetSize(rect);
        }
    }
    body->Refresh(false);
}

void MainFrameZUZUR2AZE::UpdateMinSize() {
    // Wide enough for the tool bar's buttons, the title bar's buttons and the output panel's
    // rows; the stretching part of the background cannot shrink to nothing.
    const int listMargins = GetDesignSize().x - designRects[kList].width;
    const int width = std::max({toolBar->NeededWidth(), titleBar->NeededWidth(),
                                outputPanel->NeededWidth(), fileList->NeededWidth() + listMargins,
                                GetDesignSize().x - GetStretch().width + 1});
    // The panels as high as their texts need at that width; the list high enough to show a
    // few rows.
    FitHeightsToText(width);
    const wxSize drawn = GetDesignSize();
    const int listRows = 3;
    const int listHeight = fileList->GetGrid()->GetColLabelSize() +
                           listRows * fileList->GetGrid()->GetDefaultRowSize() + 4;
    const int height = std::max(drawn.y - std::max(0, designRects[kList].height - listHeight),
                                drawn.y - GetStretch().height + 1);
    // A language whose texts need more than the theme's width widens the window.
    const wxSize minimum(width, std::min(height, drawn.y));
    SetSizeHints(minimum);
    if (GetClientSize().x < minimum.x || GetClientSize().y < minimum.y) {
        SetClientSize(
            wxSize(std::max(GetClientSize().x, minimum.x), std::max(GetClientSize().y, minimum.y)));
    }
}

void MainFrameZUZUR2AZE::FitHeightsToText(int width) {
    // The menu bar and the output panel get the height their texts need at the window's
    // smallest width: their middle row of the background is repeated.
    const wxRect& menu = themeRects[kMenu];
    const wxRect& output = themeRects[kOutput];
    const int outputWidth = width - (GetDesignSize().x - output.width);
    const int menuHeight = designRects[kMenu].height;
    GrowDesign(
        {{menu.y + menu.height / 2, menuBar->NeededHeight() - menu.height},
         {output.y + output.height / 2, outputPanel->NeededHeight(outputWidth) - output.height}});
    for (int i = 0; i < kPanelCount; ++i) {
        const int top = GrownY(themeRects[i].y);
        designRects[i] = wxRect(themeRects[i].x, top, themeRects[i].width,
                                GrownY(themeRects[i].GetBottom() + 1) - top);
    }
    LayOutPanels();
    if (designRects[kMenu].height != menuHeight) {
        menuBar->Refit();
    }
}

void MainFrameZUZUR2AZE::SetColumnLabels() {
    for (size_t col = 0; col < std::size(kColumns); ++col) {
        fileList->SetColumnLabel(static_cast<int>(col), wxGetTranslation(kColumns[col].label));
    }
}

void MainFrameZUZUR2AZE::PrepareGuideImages() {
    // The add-file image is the icon of the tool bar's button; the start image the Start
    // button as it looks now, 24 pixels high.
    const wxBitmap addFile = ImageUtil::LoadThemeBitmap("image/toolbar/add-file-normal.png");
    FaceEntry crop = GetFaceEntry("/face/selectwidow/guide/add-file-image");
    if (crop.width <= 0 || crop.height <= 0) {
        crop = GetFaceEntry("/face/toolbar/add-file-image");
    }
    addFileImage = addFile.IsOk() && crop.width > 0 && crop.height > 0
                       ? ImageUtil::CropBitmap(addFile, crop.x, crop.y, crop.width, crop.height)
                       : wxNullBitmap;
    const wxBitmap start = outputPanel->GetStartButton()->GetLabelledBitmap();
    if (start.IsOk() && start.GetHeight() > 0) {
        startImage = wxBitmap(start.ConvertToImage().Scale(
            start.GetWidth() * 24 / start.GetHeight(), 24, wxIMAGE_QUALITY_HIGH));
    }
}

void MainFrameZUZUR2AZE::OnFileListPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(fileList);
    fileList->DrawBackground(dc);
    if (fileList->GetGrid()->IsShown()) {
        return;
    }
    const FaceEntry& guide = GetFaceEntry("/face/selectwidow/guide");
    const wxColour colour = FaceStyle::Colour("/face/selectwidow/guide/text-colour");
    dc.SetTextForeground(colour);
    dc.SetFont(FaceStyle::Font(GetFaceEntry("/face/selectwidow/guide/title-font").height, true));
    int y = guide.y;
    dc.DrawText(_("Getting Started"), guide.x, y);
    y += dc.GetTextExtent("Ag").y + 18;

    dc.SetFont(FaceStyle::Font(GetFaceEntry("/face/selectwidow/guide/content-font").height, false));
    // The height above the baseline and below it of a text: a Chinese or Japanese text drawn
    // in a fallback font sits lower than the digits before it unless the baselines are lined up.
    auto metrics = [&dc](const wxString& text) {
        wxCoord width = 0;
        wxCoord height = 0;
        wxCoord descent = 0;
        dc.GetTextExtent(text.empty() ? wxString("Ag") : text, &width, &height, &descent);
        return std::pair<int, int>(height - descent, descent);
    };
    // One line of texts and images, each text after an image 4 pixels right of it, the texts
    // on one baseline.
    auto line = [&](std::initializer_list<std::pair<wxString, const wxBitmap*>> parts) {
        auto [ascent, descent] = metrics(wxString());
        for (const auto& [text, image] : parts) {
            if (image == nullptr) {
                const auto [above, below] = metrics(text);
                ascent = std::max(ascent, above);
                descent = std::max(descent, below);
            }
        }
        int height = ascent + descent;
        for (const auto& [text, image] : parts) {
            if (image != nullptr && image->IsOk()) {
                height = std::max(height, image->GetHeight());
            }
        }
        const int baseline = y + (height - ascent - descent) / 2 + ascent;
        int x = guide.x;
        for (const auto& [text, image] : parts) {
            if (image != nullptr) {
                if (image->IsOk()) {
                    dc.DrawBitmap(*image, x, y + (height - image->GetHeight()) / 2, true);
                    x += image->GetWidth() + 4;
                }
            } else {
                dc.DrawText(text, x, baseline - metrics(text).first);
                x += dc.GetTextExtent(text).x + 4;
            }
        }
        y += height + 12;
    };
    // TRANSLATORS: the start of "1.Click [image] to load file(s).", the image being the Add
    // File button.
    const wxString clickAdd = _("1.Click");
    // TRANSLATORS: the end of "1.Click [image] to load file(s).".
    line({{clickAdd, nullptr}, {wxString(), &addFileImage}, {_("to load file(s)."), nullptr}});
    line({{_("2.Set output folder."), nullptr}});
    // TRANSLATORS: the start of "3.Click [image] to start conversion.", the image being the
    // Start button.
    const wxString clickStart = _("3.Click");
    line({{clickStart, nullptr}, {wxString(), &startImage}, {_("to start conversion."), nullptr}});
}

void MainFrameZUZUR2AZE::OnSubjectChanged(CjxSubject* subject, void*) {
    switch (subject->GetCode()) {
    case kNotifyOpenSourceFolder:
        OpenSelectedSourceFolder();
        break;
    case kNotifyPreferences:
        ShowPreferences();
        break;
    case kNotifyRowDeleted:
        // The hidden grid of an emptied list keeps no keyboard focus: the first control of
        // the window takes it, so that the window's shortcuts still arrive.
        CallAfter([this] {
            wxWindow* focus = wxWindow::FindFocus();
            if (fileList->GetRowCount() == 0 &&
                (focus == nullptr || !focus->IsShownOnScreen() || focus == fileList ||
                 fileList->IsDescendant(focus))) {
                MoveFocus(1);
            }
        });
        break;
    case kNotifyConvertFinished:
        if (closing) {
            // The job ended after the file in hand: now the window can close.
            CallAfter([this] { Close(true); });
            break;
        }
        // The controls disabled during the job gave up the keyboard focus: the list takes it
        // back, so that the window's shortcuts arrive without a click.
        CallAfter([this] {
            wxWindow* focus = wxWindow::FindFocus();
            if (focus == nullptr || !focus->IsShownOnScreen() || !focus->IsEnabled()) {
                fileList->GetGrid()->SetFocus();
            }
        });
        break;
    default:
        break;
    }
}

void MainFrameZUZUR2AZE::OpenSelectedSourceFolder() {
    const wxArrayInt rows = fileList->GetSelectedRows();
    if (rows.empty()) {
        wxMessageBox(_("No item selected!"), AppUtil::GetDisplayName(), wxOK | wxICON_INFORMATION,
                     this);
        return;
    }
    AppUtil::ExploreFolder(fileList->GetCellText(rows[0], FileRowInfo::kSourceDir));
}

void MainFrameZUZUR2AZE::ShowPreferences() {
    PreferenceDialog::Open();
}

void MainFrameZUZUR2AZE::OnLanguageChanged(wxCommandEvent& event) {
    const int language = event.GetInt();
    LanguageFile::WriteLanguage(language);
    SetLanguage(language);
    menuBar->SetCurrentLanguage(language);
    toolBar->RelabelButtons();
    menuBar->RebuildMenus();
    outputPanel->Relabel();
    PrepareGuideImages();
    SetColumnLabels();
    UpdateMinSize();
    fileList->Refresh();
    fileList->GetGrid()->ForceRefresh();
    Accessible::NotifyAllNamesChanged();
}

void MainFrameZUZUR2AZE::OnClose(wxCloseEvent& event) {
    if (fileList->GetState() == SelectWindow::State::kConverting) {
        if (closing) {
            // A second request while the job winds down: end now. Finished files are in
            // place; the file in hand never appears half-written.
            EndProcess();
            return;
        }
        if (event.CanVeto()) {
            wxMessageDialog ask(this,
                                _("A conversion is running. Stop it and quit when the file in "
                                  "hand is finished?"),
                                AppUtil::GetDisplayName(),
                                wxYES_NO | wxNO_DEFAULT | wxICON_QUESTION);
            if (ask.ShowModal() != wxID_YES) {
                event.Veto();
                return;
            }
            if (fileList->GetState() != SelectWindow::State::kConverting) {
                // The job ended while the question was open: nothing is left to wait for.
                EndProcess();
                return;
            }
            closing = true;
            converter->Abandon();
            Disable();
            event.Veto();
            return;
        }
        converter->Abandon();
    }
    EndProcess();
}

void MainFrameZUZUR2AZE::OpenPaths(const wxArrayString& paths) {
    if (!paths.empty()) {
        fileList->AddPaths(paths, SelectWindow::Origin::kCommandLine);
    }
}

std::vector<wxWindow*> MainFrameZUZUR2AZE::FocusChain() const {
    std::vector<wxWindow*> chain;
    for (int id = ZqToolBar::kAddFile; id <= ZqToolBar::kClearAll; ++id) {
        chain.push_back(toolBar->GetButton(id));
    }
    chain.push_back(fileList->GetGrid()->GetGridWindow());
    for (wxWindow* control : outputPanel->GetChildren()) {
        chain.push_back(control);
    }
    return chain;
}

void MainFrameZUZUR2AZE::MoveFocus(int step) {
    // The themed controls in the order they are seen: the desktop's own traversal cannot leave
    // the grid, and skips owner-drawn controls.
    const std::vector<wxWindow*> chain = FocusChain();
    const int count = static_cast<int>(chain.size());
    wxWindow* focus = wxWindow::FindFocus();
    int current = -1;
    for (int i = 0; i < count; ++i) {
        if (focus == chain[i] || (focus != nullptr && chain[i]->IsDescendant(focus)) ||
            (focus == fileList->GetGrid() && chain[i] == fileList->GetGrid()->GetGridWindow())) {
            current = i;
            break;
        }
    }
    for (int n = 1; n <= count; ++n) {
        const int index =
            ((current < 0 ? (step > 0 ? -1 : 0) : current) + step * n + count * 2) % count;
        wxWindow* next = chain[index];
        if (next->IsShownOnScreen() && next->IsEnabled() && next->AcceptsFocusFromKeyboard()) {
            next->SetFocus();
            return;
        }
    }
}

void MainFrameZUZUR2AZE::OnCharHook(wxKeyEvent& event) {
    const int key = event.GetKeyCode();
    const int modifiers = event.GetModifiers();
    const bool idle = fileList->GetState() == SelectWindow::State::kIdle;
    const bool converting = fileList->GetState() == SelectWindow::State::kConverting;
    const bool typing = TypingInText(fileList);
    if (modifiers == wxMOD_CONTROL && key == 'O') {
        if (!converting) {
            fileList->AddFiles();
        }
    } else if (modifiers == (wxMOD_CONTROL | wxMOD_SHIFT) && key == 'O') {
        if (!converting) {
            fileList->AddFolder();
        }
    } else if (modifiers == wxMOD_CONTROL && (key == WXK_RETURN || key == WXK_NUMPAD_ENTER)) {
        if (idle) {
            outputPanel->RequestStart();
        }
    } else if (modifiers == wxMOD_NONE && key == WXK_ESCAPE && converting) {
        outputPanel->RequestStop();
    } else if (modifiers == wxMOD_CONTROL && key == 'Q') {
        Close(false);
    } else if (modifiers == wxMOD_NONE && key == WXK_F1) {
        wxCommandEvent help(wxEVT_MENU, DhMenuBarBase::kHelp);
        menuBar->DhMenuBarBase::OnHelp(help);
    } else if (modifiers == wxMOD_NONE && key == WXK_F10) {
        CallAfter([this] { menuBar->GetTitleBar()->ShowFirstMenu(); });
    } else if (!typing && modifiers == wxMOD_NONE && key == WXK_DELETE) {
        fileList->DeleteSelected();
    } else if (!typing && modifiers == wxMOD_CONTROL && key == 'A') {
        fileList->SelectAll();
    } else if (!typing && modifiers == wxMOD_NONE && key == WXK_F2) {
        fileList->RenameCurrent();
    } else if (!typing && modifiers == wxMOD_ALT && (key == WXK_UP || key == WXK_DOWN)) {
        fileList->MoveSelection(key == WXK_UP ? -1 : 1);
    } else if (key == WXK_TAB && (modifiers == wxMOD_NONE || modifiers == wxMOD_SHIFT) &&
               !fileList->GetGrid()->IsCellEditControlShown()) {
        MoveFocus(modifiers == wxMOD_SHIFT ? -1 : 1);
    } else {
        event.Skip();
    }
}
