#include "window/output_window.h"

#include "app/app_util.h"
#include "common/accessible.h"
#include "common/face_reader.h"
#include "common/face_style.h"
#include "common/file_util.h"
#include "common/image_util.h"
#include "domain/domain_settings.h"
#include "window/base/dh_check_box.h"
#include "window/base/dh_hyperlink_ctrl.h"
#include "window/base/dh_radio_button.h"
#include "window/base/dh_static_text.h"
#include "window/base/dh_word_button.h"
#include "window/notify_code.h"

#include <wx/dc.h>
#include <wx/dirdlg.h>
#include <wx/filename.h>
#include <wx/msgdlg.h>
#include <wx/textctrl.h>

#include <algorithm>
#include <vector>

namespace {
constexpr int kGap = 8;
// The folder field is never narrower than this.
constexpr int kMinFieldWidth = 200;

// The problem with using `folder` for output, or an empty string.
wxString FolderProblem(const wxString& folder, const wxString& missing) {
    if (folder.empty() || !wxFileName::DirExists(folder)) {
        return missing;
    }
    if (!wxFileName::IsDirWritable(folder)) {
        return _("The folder is unwritable, please choose another one!");
    }
    return wxString();
}

void Tell(wxWindow* parent, const wxString& message, long style) {
    wxMessageBox(message, AppUtil::GetDisplayName(), style, parent);
}
} // namespace

bool OutputWindow::Create(wxWindow* parent, wxBitmap* pieceBitmap, wxWindowID id,
                          const wxPoint& position, const wxSize& size, long style) {
    if (!ZqPieceWindow::Create(parent, pieceBitmap, id, position, size, style)) {
        return false;
    }
    const wxBitmap background = pieceBitmap != nullptr ? *pieceBitmap : wxNullBitmap;
    const wxColour dark = FaceStyle::Colour("/face/base-button/small-button-crop/textcolour");

    const wxBitmap normalRadio = ImageUtil::CreateRadioBitmap(this, false);
    const wxBitmap selectedRadio = ImageUtil::CreateRadioBitmap(this, true);
    besideButton = new DhRadioButton;
    besideButton->Create(this, kBesideSource, normalRadio, selectedRadio, background);
    customizeButton = new DhRadioButton;
    customizeButton->Create(this, kCustomize, normalRadio, selectedRadio, background);
    for (DhRadioButton* radio : {besideButton, customizeButton}) {
        radio->SetForegroundColour(dark);
        group.Add(radio);
    }
    customizeButton->SetValue(true);
    group.InitSelection();

    folderField =
        new wxTextCtrl(this, kFolder, DomainSettings::GetKeyed(DomainSettings::kOutputDir),
                       wxDefaultPosition, wxDefaultSize, wxTE_READONLY);
    browseButton = FaceStyle::MakeBaseButton(this, kBrowse, false, background);
    openButton = FaceStyle::MakeBaseButton(this, kOpen, false, background);
    mergeBox = new DhCheckBox;
    mergeBox->Create(this, kMerge);
    mergeBox->SetBackgroundBitmap(background, 0);
    mergeBox->SetForegroundColour(dark);
    startButton = FaceStyle::MakeBaseButton(this, kStart, true, background);
    stopButton = FaceStyle::MakeBaseButton(this, kStop, true, background);
    stopButton->Hide();

    summaryText = new DhStaticText(this, wxID_ANY, wxString());
    summaryText->SetParentBackground(GetPiece());
    summaryText->SetForegroundColour(dark);
    openOutputLink = new DhHyperLinkCtrl(this, kOpenOutput, " ", wxString());
    openLogLink = new DhHyperLinkCtrl(this, kOpenLog, " ", wxString());
    for (DhHyperLinkCtrl* link : {openOutputLink, openLogLink}) {
        link->SetParentBackground(GetPiece());
        link->Hide();
    }

    DomainSettings::SetKeyed(DomainSettings::kMerge, "0");
    DomainSettings::SetKeyed(DomainSettings::kMergeOffered, "0");
    DomainSettings::SetKeyed(DomainSettings::kSaveBesideSource, "0");

    Bind(wxEVT_BUTTON, &OutputWindow::OnStart, this, kStart);
    Bind(wxEVT_BUTTON, &OutputWindow::OnStop, this, kStop);
    Bind(wxEVT_BUTTON, &OutputWindow::OnBrowse, this, kBrowse);
    Bind(wxEVT_BUTTON, &OutputWindow::OnOpen, this, kOpen);
    Bind(DH_EVT_RADIO_BUTTON, &OutputWindow::OnRadio, this, kCustomize, kBesideSource);
    Bind(DH_EVT_CHECK_BOX, &OutputWindow::OnMerge, this, kMerge);
    Bind(wxEVT_HYPERLINK, &OutputWindow::OnSummaryLink, this, kOpenOutput, kOpenLog);

    Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        event.Skip();
        LayOut();
        Refresh(false);
    });
    Relabel();
    UpdateControls();
    return true;
}

std::vector<wxSize> OutputWindow::WidestSummary() const {
    // A summary of four-digit counts, stopped, with both links.
    const wxString sample = wxString::Format(_("%d converted, %d failed"), 8888, 8888) + ", " +
                            wxString::Format(_("%d skipped"), 8888) + " " + _("(stopped)");
    const wxSize text = summaryText->GetTextExtent(sample);
    return {text, openOutputLink->GetBestSize(), openLogLink->GetBestSize()};
}

int OutputWindow::NeededWidth() const {
    const FaceEntry& label = GetFaceEntry("/face/outputwindow/statictext");
    const int bigWidth = std::max(startButton->GetSize().x, stopButton->GetSize().x);
    const int choices = besideButton->GetSize().x + 3 * kGap + customizeButton->GetSize().x;
    const int folder = kMinFieldWidth + kGap + browseButton->GetSize().x + kGap +
                       openButton->GetSize().x + 3 * kGap + bigWidth;
    // The summary and its links follow the merge box and go on below it when the row is
    // full: the merge box and each of them alone must fit left of Start.
    int lastJob = mergeBox->GetSize().x;
    for (const wxSize& item : WidestSummary()) {
        lastJob = std::max(lastJob, item.x);
    }
    lastJob += 3 * kGap + bigWidth;
    return label.x + std::max({choices, folder, lastJob}) + label.x;
}

void OutputWindow::ReplacePiece(const wxBitmap& bitmap) {
    ZqPieceWindow::ReplacePiece(bitmap);
    for (DhWordButton* button : {browseButton, openButton, startButton, stopButton}) {
        button->SetBackgroundBitmap(bitmap, DhWordButton::kPiece);
        button->Refresh(false);
    }
    for (DhRadioButton* radio : {besideButton, customizeButton}) {
        radio->SetBackgroundBitmap(bitmap);
        radio->Refresh(false);
    }
    mergeBox->SetBackgroundBitmap(bitmap, 0);
    mergeBox->Refresh(false);
}

int OutputWindow::NeededHeight(int width) const {
    return MakePlan(width, WidestSummary()).bottom;
}

void OutputWindow::Relabel() {
    const FaceEntry& startFont = GetFaceEntry("/face/outputwindow/start-font");
    besideButton->SetLabel(_("Save target file(s) in source folder"), false);
    // TRANSLATORS: the choice beside "Save target file(s) in source folder": the PDFs go to
    // the folder chosen below. The preference dialog uses the same word for a page size
    // given by width and height.
    customizeButton->SetLabel(_("Customize"), false);
    mergeBox->SetLabel(_("Merge into one file"));
    const wxFont small = FaceStyle::Font(0, false);
    browseButton->SetLabelAndFont(_("Browse"), small);
    // TRANSLATORS: opens the output folder in the file manager.
    openButton->SetLabelAndFont(_("Open"), small);
    // TRANSLATORS: the label of the button that starts a conversion; keep the trailing blank.
    startButton->SetLabelAndFont(_("Start "), FaceStyle::Font(startFont.height, true));
    // TRANSLATORS: the label of the button that stops a conversion; keep the two trailing blanks.
    stopButton->SetLabelAndFont(_("Stop  "), FaceStyle::Font(startFont.height, true));
    openOutputLink->SetLabel(_("Open output folder"));
    openLogLink->SetLabel(_("Show log"));
    Accessible::NameNative(folderField, _("Output Folder"));
    ShowSummary();
    LayOut();
    Refresh();
}

OutputWindow::Plan OutputWindow::MakePlan(int width,
                                          const std::vector<wxSize>& summaryItems) const {
    const FaceEntry& label = GetFaceEntry("/face/outputwindow/statictext");
    const FaceEntry& field = GetFaceEntry("/face/outputwindow/textctrl");
    const FaceEntry& start = GetFaceEntry("/face/outputwindow/start-button");
    const FaceEntry& font = GetFaceEntry("/face/outputwindow/output-description-font");
    const int height = GetClientSize().y;
    Plan plan;

    // Start and Stop share a place at the right.
    const int bigWidth = std::max(startButton->GetSize().x, stopButton->GetSize().x);
    const int bigHeight = startButton->GetSize().y;
    plan.start = wxRect(width - label.x - bigWidth,
                        start.y > 0 ? start.y - bigHeight / 2 : (height - bigHeight) / 2, bigWidth,
                        bigHeight);

    // The description, then the two choices below it.
    const int textHeight =
        GetTextExtent("Ag").y * std::max(font.height, 1) / std::max(GetFont().GetPointSize(), 1);
    int y = label.y + textHeight + kGap;
    plan.choicesY = y;
    y += std::max(besideButton->GetSize().y, customizeButton->GetSize().y) + kGap;

    // The folder field with Browse and Open, then the merge box.
    const int fieldHeight = field.height > 0 ? field.height : folderField->GetBestSize().y;
    const int buttonsWidth = browseButton->GetSize().x + openButton->GetSize().x + 2 * kGap;
    const int fieldWidth =
        std::max(kMinFieldWidth, plan.start.x - 3 * kGap - buttonsWidth - label.x);
    plan.field = wxRect(label.x, y, fieldWidth, fieldHeight);
    y += std::max({fieldHeight, browseButton->GetSize().y, openButton->GetSize().y}) + kGap + 2;
    plan.mergeY = y;

    // The last job's summary and its links beside the merge box, going on in rows below it
    // when the row is full; all left of Start.
    const int right = plan.start.x - 2 * kGap;
    int rowHeight = mergeBox->GetSize().y;
    int x = label.x + mergeBox->GetSize().x + 4 * kGap;
    for (const wxSize& item : summaryItems) {
        if (x > label.x && x + item.x > right) {
            y += rowHeight + kGap / 2;
            rowHeight = 0;
            x = label.x;
        }
        rowHeight = std::max(rowHeight, item.y);
        plan.summary.emplace_back(x, y, item.x, item.y);
        x += item.x + 2 * kGap;
    }
    // Rows of the same line share their middle.
    for (wxRect& item : plan.summary) {
        if (item.y == plan.mergeY) {
            item.y += (mergeBox->GetSize().y - item.height) / 2;
        }
    }
    plan.bottom = std::max(y + rowHeight, plan.start.GetBottom() + 1) + kGap;
    return plan;
}

void OutputWindow::LayOut() {
    const FaceEntry& label = GetFaceEntry("/face/outputwindow/statictext");
    std::vector<wxWindow*> items{summaryText};
    for (DhHyperLinkCtrl* link : {openOutputLink, openLogLink}) {
        if (link->IsShown()) {
            items.push_back(link);
        }
    }
    std::vector<wxSize> sizes;
    for (wxWindow* item : items) {
        sizes.push_back(item->GetBestSize());
    }
    const Plan plan = MakePlan(GetClientSize().x, sizes);

    startButton->Move(plan.start.x + (plan.start.width - startButton->GetSize().x) / 2,
                      plan.start.y);
    stopButton->Move(plan.start.x + (plan.start.width - stopButton->GetSize().x) / 2, plan.start.y);
    besideButton->Move(label.x, plan.choicesY);
    customizeButton->Move(besideButton->GetRect().GetRight() + 3 * kGap, plan.choicesY);
    folderField->SetSize(plan.field);
    int x = plan.field.GetRight() + 1 + kGap;
    const int middle = plan.field.y + plan.field.height / 2;
    browseButton->Move(x, middle - browseButton->GetSize().y / 2);
    x += browseButton->GetSize().x + kGap;
    openButton->Move(x, middle - openButton->GetSize().y / 2);
    mergeBox->Move(label.x, plan.mergeY);
    for (size_t i = 0; i < items.size(); ++i) {
        items[i]->SetSize(plan.summary[i]);
    }
}

void OutputWindow::DrawBackground(wxDC& dc) {
    ZqPieceWindow::DrawBackground(dc);
    const FaceEntry& label = GetFaceEntry("/face/outputwindow/statictext");
    const FaceEntry& font = GetFaceEntry("/face/outputwindow/output-description-font");
    dc.SetFont(FaceStyle::Font(font.height, true));
    dc.SetTextForeground(FaceStyle::Colour("/face/base-button/small-button-crop/textcolour"));
    dc.DrawText(_("Output Folder"), label.x, label.y);
}

void OutputWindow::SetMergeOffered(bool offered) {
    mergeOffered = offered;
    DomainSettings::SetKeyed(DomainSettings::kMergeOffered, offered ? "1" : "0");
    UpdateControls();
}

void OutputWindow::UpdateControls() {
    const bool idle = !loading && !converting;
    const bool customize = DomainSettings::GetKeyedInt(DomainSettings::kSaveBesideSource) == 0;
    besideButton->Enable(idle);
    customizeButton->Enable(idle);
    browseButton->Enable(idle && customize);
    folderField->Enable(idle && customize);
    mergeBox->Enable(idle && mergeOffered);
    startButton->Show(!converting);
    startButton->Enable(idle);
    stopButton->Show(converting);
    stopButton->Enable(converting && !stopPressed);
}

void OutputWindow::OnSubjectChanged(CjxSubject* subject, void* argument) {
    switch (subject->GetCode()) {
    case kNotifyConvertFinished:
        converting = false;
        stopPressed = false;
        break;
    case kNotifyConvertStarting:
        converting = true;
        stopPressed = false;
        hasSummary = false;
        ShowSummary();
        break;
    case kNotifyConvertLock:
    case kNotifyConvertUnlock:
        break; // the running state above decides what is locked
    case kNotifyLoadLock:
        loading = true;
        break;
    case kNotifyLoadUnlock:
        loading = false;
        break;
    case kNotifyMergePrompt:
        SelectCustomize();
        break;
    case kNotifyJobSummary:
        summary = *static_cast<const JobSummary*>(argument);
        hasSummary = true;
        ShowSummary();
        LayOut();
        break;
    default:
        return;
    }
    UpdateControls();
}

void OutputWindow::SelectCustomize() {
    if (group.GetSelectedButton() != customizeButton) {
        group.Select(customizeButton->GetIndex());
    }
    DomainSettings::SetKeyed(DomainSettings::kSaveBesideSource, "0");
    UpdateControls();
}

void OutputWindow::ShowSummary() {
    if (!hasSummary) {
        summaryText->SetLabel(wxString());
        openOutputLink->Hide();
        openLogLink->Hide();
        return;
    }
    // TRANSLATORS: the summary of the last job: the number of files converted and of those
    // that failed.
    auto text = wxString::Format(_("%d converted, %d failed"), summary.converted, summary.failed);
    if (summary.skipped > 0) {
        // TRANSLATORS: added to the summary of a job: the files whose existing PDF was kept.
        text += ", " + wxString::Format(_("%d skipped"), summary.skipped);
    }
    if (summary.stopped) {
        // TRANSLATORS: added to the summary of a job that the user stopped.
        text += " " + _("(stopped)");
    }
    summaryText->SetLabel(text);
    openOutputLink->Show(summary.converted > 0 && !summary.outputFolder.empty());
    openLogLink->Show(summary.failed > 0);
    Refresh();
}

wxString OutputWindow::GetSummaryText() const {
    return summaryText->GetLabel();
}

void OutputWindow::RequestStart() {
    if (startButton->IsShown() && startButton->IsEnabled()) {
        SetCode(kNotifyStart);
        Notify();
    }
}

void OutputWindow::RequestStop() {
    if (!stopButton->IsShown() || stopPressed) {
        return;
    }
    // Disabled at once: the job ends after the file in hand.
    stopPressed = true;
    stopButton->Disable();
    SetCode(kNotifyStop);
    Notify();
}

void OutputWindow::OnStart(wxCommandEvent&) {
    RequestStart();
}

void OutputWindow::OnStop(wxCommandEvent&) {
    RequestStop();
}

void OutputWindow::OnBrowse(wxCommandEvent&) {
    wxDirDialog dialog(this, _("Select an output folder."), folderField->GetValue(), 0);
    if (dialog.ShowModal() != wxID_OK) {
        return;
    }
    ChooseFolder(dialog.GetPath());
}

bool OutputWindow::ChooseFolder(const wxString& folder) {
    const wxString problem =
        FolderProblem(folder, _("The folder is unwritable, please choose another one!"));
    if (!problem.empty()) {
        Tell(this, problem, wxOK | wxICON_INFORMATION);
        return false;
    }
    folderField->SetValue(folder);
    DomainSettings::SetKeyed(DomainSettings::kOutputDir, folder);
    return true;
}

void OutputWindow::OnOpen(wxCommandEvent&) {
    if (DomainSettings::GetKeyedInt(DomainSettings::kSaveBesideSource) != 0) {
        SetCode(kNotifyOpenSourceFolder);
        Notify();
        return;
    }
    const wxString folder = folderField->GetValue();
    const wxString problem = FolderProblem(folder, _("Output directory doesn't exist."));
    if (!problem.empty()) {
        Tell(this, problem, wxOK | wxCENTRE);
        return;
    }
    AppUtil::ExploreFolder(folder);
}

void OutputWindow::OnRadio(wxCommandEvent& event) {
    if (event.GetId() == kCustomize) {
        DomainSettings::SetKeyed(DomainSettings::kSaveBesideSource, "0");
    } else {
        DomainSettings::SetKeyed(DomainSettings::kSaveBesideSource, "1");
    }
    // Handled: the group selects the button after this returns.
    CallAfter(&OutputWindow::UpdateControls);
}

void OutputWindow::OnMerge(wxCommandEvent& event) {
    if (event.GetInt() != 0) {
        DomainSettings::SetKeyed(DomainSettings::kMerge, "1");
        SelectCustomize();
    } else {
        DomainSettings::SetKeyed(DomainSettings::kMerge, "0");
    }
}

void OutputWindow::OnSummaryLink(wxHyperlinkEvent& event) {
    // The links act here; they open no web page.
    if (event.GetId() == kOpenOutput) {
        AppUtil::ExploreFolder(summary.outputFolder);
    } else {
        AppUtil::ExploreFolder(wxFileName(FileUtil::GetLogPath()).GetPath());
    }
}
