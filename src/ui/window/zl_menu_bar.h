#pragma once

#include "common/accessible.h"

#include <wx/bitmap.h>
#include <wx/colour.h>
#include <wx/longlong.h>
#include <wx/panel.h>

#include <vector>

class wxMenu;
class ZlMenuButton;

// The row of menu titles of the custom menu bar. A click on a title pops its menu up under
// it; while a menu is open, the pointer (or Left and Right) moves to a neighbouring menu.
class ZLMenuBar : public wxPanel, public Accessible {
public:
    ZLMenuBar() = default;
    ZLMenuBar(wxWindow* parent, const wxBitmap* background, wxWindowID id = wxID_ANY,
              const wxPoint& position = wxDefaultPosition, long style = wxBORDER_NONE);
    ~ZLMenuBar() override;

    void AppendMenu(wxWindowID id, wxMenu* menu, const wxString& title, const wxColour& normal,
                    const wxColour& current);
    void ClearMenus();

    // Opens the menu of the title `id` (and those the user moves to) until the user closes
    // one without moving on.
    void ShowMenu(wxWindowID id);
    // Opens the first menu, as F10 does in a native menu bar.
    void ShowFirstMenu();

    // The id of the title whose menu is open, or -1.
    int GetOpenMenu() const { return openMenu; }
    const std::vector<ZlMenuButton*>& GetTitles() const { return titles; }

    Role GetAccessibleRole() const override { return Role::kMenuBar; }
    wxString GetAccessibleName() const override { return {}; }

protected:
    wxSize DoGetBestSize() const override { return GetSize(); }

private:
    ZlMenuButton* FindTitle(int id) const;
    int TitleAt(const wxPoint& screen, int current) const;
    int Neighbour(int current, int step) const;

    void OnPaint(wxPaintEvent& event);
    void OnTitleClick(wxCommandEvent& event);

    std::vector<ZlMenuButton*> titles;
    const wxBitmap* background = nullptr;
    int nextX = 0;
    int titlesY = 0;
    int openMenu = -1;
    wxLongLong swallowUntil = 0; // a title press before this time closed its own menu
};
