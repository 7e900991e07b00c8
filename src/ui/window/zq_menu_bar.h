#pragma once

#include "window/dh_menu_bar_base.h"

#include <wx/bitmap.h>
#include <wx/panel.h>

class wxMenu;
class ZLMenuBar;

// The main window's menu bar: "File", "Edit" and "Help" (with the "Language" submenu) drawn
// over the theme, their commands turned into notifications for the other panels. The
// commands that change the list or the settings are disabled while files load or a
// conversion runs.
class ZqMenuBar : public wxPanel, public DhMenuBarBase {
public:
    ZqMenuBar() = default;
    ~ZqMenuBar() override;

    // `background` stays the caller's; it must outlive the bar.
    bool Create(const wxBitmap* background, wxWindow* parent, wxWindowID id,
                const wxPoint& position = wxDefaultPosition, long style = wxBORDER_NONE);

    void RebuildMenus() override;
    // The height the titles need: their own with the margin above repeated below.
    int NeededHeight() const;
    // After the bar's height or background changed: centres the titles again on the new
    // background and rebuilds them.
    void Refit();
    void EnableMenus(bool enable) override;
    void ShowAbout() override;

    ZLMenuBar* GetTitleBar() const { return titleBar; }
    wxMenu* GetFileMenu() const { return fileMenu; }
    wxMenu* GetEditMenu() const { return editMenu; }
    wxMenu* GetHelpMenu() const { return helpMenu; }
    wxMenu* GetLanguageMenu() const { return languageMenu; }

private:
    void BuildMenus();
    wxPoint TitleOrigin() const;
    void CutTitleBackground();
    void DeleteMenus();
    void OnPaint(wxPaintEvent& event);

    const wxBitmap* background = nullptr;
    wxBitmap titleBackground;
    ZLMenuBar* titleBar = nullptr;
    wxMenu* fileMenu = nullptr;
    wxMenu* editMenu = nullptr;
    wxMenu* helpMenu = nullptr;
    wxMenu* languageMenu = nullptr; // owned by the Help menu
    bool enabled = true;
};
