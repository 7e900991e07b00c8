#pragma once

#include "window/main_frame.h"

#include <wx/arrstr.h>

#include <memory>
#include <vector>

class DomainConvert;
class OutputWindow;
class SelectWindow;
class TitleWindow;
class ZqMenuBar;
class ZqPieceWindow;
class ZqToolBar;
class DhWindowResize;

// The image-to-PDF window: the title bar, menu bar, tool bar, file list and output panel cut
// from the theme's background and wired together, the "Getting Started" guide over the empty
// list, the keyboard shortcuts, and a close that does not abandon a conversion unasked.
class MainFrameZUZUR2AZE : public MainFrame {
public:
    MainFrameZUZUR2AZE();
    ~MainFrameZUZUR2AZE() override;

    bool Create(wxWindowID id, const wxString& title) override;
    void OnLanguageChanged(wxCommandEvent& event) override;
    void OnSubjectChanged(CjxSubject* subject, void* argument) override;
    void OnClose(wxCloseEvent& event) override;

    // Files and folders given on the command line (a file manager's "Open with").
    void OpenPaths(const wxArrayString& paths);

    SelectWindow* GetFileList() const { return fileList; }
    OutputWindow* GetOutputPanel() const { return outputPanel; }
    ZqToolBar* GetThemedToolBar() const { return toolBar; }
    ZqMenuBar* GetThemedMenuBar() const { return menuBar; }
    TitleWindow* GetTitleBar() const { return titleBar; }

protected:
    void LayOutPanels() override;

private:
    // The panels cut from the background, and where each lies in the theme's design.
    enum Panel { kTitle, kMenu, kTool, kList, kOutput, kPanelCount };

    wxBitmap* CutPanel(const char* face, wxRect& rect) const;
    // The smallest size at which every panel's controls still fit, in the current language.
    void UpdateMinSize();
    // Gives the menu bar and the output panel the height their texts need at `width`.
    void FitHeightsToText(int width);
    void SetColumnLabels();
    void PrepareGuideImages();
    void OnFileListPaint(wxPaintEvent& event);
    void OnCharHook(wxKeyEvent& event);
    // The controls Tab moves through, in order; and the move itself.
    std::vector<wxWindow*> FocusChain() const;
    void MoveFocus(int step);
    void OpenSelectedSourceFolder();
    void ShowPreferences();

    std::unique_ptr<DomainConvert> converter;
    std::unique_ptr<wxBitmap> menuPiece;
    std::unique_ptr<DhWindowResize> resizer;
    wxRect designRects[kPanelCount]; // in the grown design (see MainFrame::GrowDesign)
    wxRect themeRects[kPanelCount];  // as the theme drew them
    ZqPieceWindow* body = nullptr;
    TitleWindow* titleBar = nullptr;
    ZqMenuBar* menuBar = nullptr;
    ZqToolBar* toolBar = nullptr;
    SelectWindow* fileList = nullptr;
    OutputWindow* outputPanel = nullptr;
    wxBitmap startImage;
    wxBitmap addFileImage;
    bool closing = false;
};
