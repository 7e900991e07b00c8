#pragma once

#include "window/base/dh_radio_group.h"
#include "window/base/zq_piece_window.h"
#include "window/select_window.h"

#include <vector>

class DhCheckBox;
class DhHyperLinkCtrl;
class DhRadioButton;
class DhStaticText;
class DhWordButton;
class wxHyperlinkEvent;
class wxTextCtrl;

// The strip under the file list: where the PDFs go (an output folder, or beside each source),
// merging, and Start and Stop. After a job it shows what the job did, with links to the
// output folder and, when files failed, to the log.
class OutputWindow : public ZqPieceWindow {
public:
    enum Id {
        kStart = 1,
        kStop = 2,
        kBrowse = 3,
        kOpen = 4,
        kFolder = 5,
        kCustomize = 6,
        kBesideSource = 7,
        kMerge = 8,
        kOpenOutput = 9,
        kOpenLog = 10,
    };

    OutputWindow() = default;

    bool Create(wxWindow* parent, wxBitmap* piece, wxWindowID id, const wxPoint& position,
                const wxSize& size, long style = wxTAB_TRAVERSAL | wxNO_BORDER);

    // Whether the product offers merging (keyed setting 4 and the check box).
    void SetMergeOffered(bool offered);
    // Fetches every text again (after a language change) and lays the panel out.
    void Relabel();
    // The width the panel's rows need in the current language: the choices, the folder
    // field at its smallest with its buttons and Start, and a job's summary with both links.
    int NeededWidth() const;
    // The height the panel's rows need at a width, with the longest summary of a job.
    int NeededHeight(int width) const;
    // What Start and Stop do (the keyboard's Ctrl+Return and Escape too).
    void RequestStart();
    void RequestStop();
    // What Browse does with the folder the user picked: takes it when files can be written
    // there, else says so and keeps the one it had. Returns whether it was taken.
    bool ChooseFolder(const wxString& folder);

    // The controls draw their background from the new piece.
    void ReplacePiece(const wxBitmap& bitmap) override;
    void OnSubjectChanged(CjxSubject* subject, void* argument) override;
    void DrawBackground(wxDC& dc) override;

    DhWordButton* GetStartButton() const { return startButton; }
    DhWordButton* GetStopButton() const { return stopButton; }
    wxTextCtrl* GetFolderField() const { return folderField; }
    DhCheckBox* GetMergeBox() const { return mergeBox; }
    DhRadioButton* GetBesideSourceButton() const { return besideButton; }
    DhRadioButton* GetCustomizeButton() const { return customizeButton; }
    wxString GetSummaryText() const;

private:
    // Where the rows go at a width: Start, the choices, the folder field, the merge box, and
    // the summary's items (in rows after the merge box), with the bottom of it all.
    struct Plan {
        wxRect start;
        int choicesY = 0;
        wxRect field;
        int mergeY = 0;
        std::vector<wxRect> summary;
        int bottom = 0;
    };
    Plan MakePlan(int width, const std::vector<wxSize>& summaryItems) const;
    // The sizes of the longest summary of a job and of both links.
    std::vector<wxSize> WidestSummary() const;
    void LayOut();
    void UpdateControls();
    void ShowSummary();
    void SelectCustomize();

    void OnStart(wxCommandEvent& event);
    void OnStop(wxCommandEvent& event);
    void OnBrowse(wxCommandEvent& event);
    void OnOpen(wxCommandEvent& event);
    void OnRadio(wxCommandEvent& event);
    void OnMerge(wxCommandEvent& event);
    void OnSummaryLink(wxHyperlinkEvent& event);

    DhRadioGroup group;
    DhRadioButton* besideButton = nullptr;
    DhRadioButton* customizeButton = nullptr;
    wxTextCtrl* folderField = nullptr;
    DhWordButton* browseButton = nullptr;
    DhWordButton* openButton = nullptr;
    DhCheckBox* mergeBox = nullptr;
    DhWordButton* startButton = nullptr;
    DhWordButton* stopButton = nullptr;
    DhStaticText* summaryText = nullptr;
    DhHyperLinkCtrl* openOutputLink = nullptr;
    DhHyperLinkCtrl* openLogLink = nullptr;

    bool mergeOffered = false;
    bool loading = false;
    bool converting = false;
    bool stopPressed = false;
    bool hasSummary = false;
    JobSummary summary;
};
