#include "window/zl_menu_bar.h"

#include "common/ui_platform.h"
#include "window/base/zl_menu_button.h"

#include <wx/dcclient.h>
#include <wx/menu.h>
#include <wx/time.h>
#include <wx/utils.h>

ZLMenuBar::ZLMenuBar(wxWindow* parent, const wxBitmap* bitmap, wxWindowID id,
                     const wxPoint& position, long style)
    : background(bitmap) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Create(parent, id, position, wxSize(1, 1), style);
    Bind(wxEVT_PAINT, &ZLMenuBar::OnPaint, this);
    AttachAccessible(this);
}

ZLMenuBar::~ZLMenuBar() = default;

void ZLMenuBar::AppendMenu(wxWindowID id, wxMenu* menu, const wxString& title,
                           const wxColour& normal, const wxColour& current) {
    auto* button =
        new ZlMenuButton(menu, title, background != nullptr ? *background : wxNullBitmap, this, id,
                         normal, current, wxPoint(nextX, titlesY), wxBORDER_NONE);
    nextX += button->GetSize().x;
    SetSize(nextX, button->GetSize().y);
    titles.push_back(button);
    button->Bind(wxEVT_BUTTON, &ZLMenuBar::OnTitleClick, this, id);
}

void ZLMenuBar::ClearMenus() {
    nextX = 0;
    titlesY = 0;
    for (ZlMenuButton* title : titles) {
        title->Unbind(wxEVT_BUTTON, &ZLMenuBar::OnTitleClick, this, title->GetId());
        title->Destroy();
    }
    titles.clear();
}

ZlMenuButton* ZLMenuBar::FindTitle(int id) const {
    for (ZlMenuButton* title : titles) {
        if (title->GetId() == id) {
            return title;
        }
    }
    return nullptr;
}

int ZLMenuBar::TitleAt(const wxPoint& screen, int current) const {
    for (ZlMenuButton* title : titles) {
        if (title->IsShownOnScreen() &&
            title->HitTest(title->ScreenToClient(screen)) != wxHT_WINDOW_OUTSIDE) {
            return title->GetId() == current ? UiPlatform::MenuSlide::kOwnTitle : title->GetId();
        }
    }
    return UiPlatform::MenuSlide::kNoTitle;
}

int ZLMenuBar::Neighbour(int current, int step) const {
    const int count = static_cast<int>(titles.size());
    for (int i = 0; i < count; ++i) {
        if (titles[i]->GetId() == current) {
            return titles[(i + step + count) % count]->GetId();
        }
    }
    return -1;
}

void ZLMenuBar::ShowMenu(wxWindowID id) {
    if (openMenu >= 0) {
        return;
    }
    while (id >= 0) {
        ZlMenuButton* title = FindTitle(id);
        if (title == nullptr) {
            break;
        }
        auto* menu = static_cast<wxMenu*>(title->GetUserData());
        openMenu = id;
        title->SetHoverTracking(false);
        title->SetCurrent();
        const int current = id;
        int next = -1;
        {
            UiPlatform::MenuSlide slide(
                menu, [this, current](const wxPoint& at) { return TitleAt(at, current); },
                [this, current](int step) { return Neighbour(current, step); });
            PopupMenu(menu, title->GetPosition().x,
                      title->GetPosition().y + title->GetSize().y + 1);
            next = slide.Next();
        }
        title->SetHoverTracking(true);
        title->SetNormal();
        openMenu = -1;
        // A press on the open menu's own title closed it: that press reaches the title next
        // and must not open the menu again. Only that press: a menu closed with Esc or
        // elsewhere leaves nothing to swallow.
        const wxMouseState mouse = wxGetMouseState();
        if (next < 0 && mouse.LeftIsDown() &&
            TitleAt(mouse.GetPosition(), current) == UiPlatform::MenuSlide::kOwnTitle) {
            swallowUntil = wxGetUTCTimeMillis() + 500;
        }
        id = next;
    }
}

void ZLMenuBar::ShowFirstMenu() {
    if (!titles.empty()) {
        ShowMenu(titles.front()->GetId());
    }
}

void ZLMenuBar::OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    if (background != nullptr && background->IsOk()) {
        dc.DrawBitmap(*background, 0, 0, true);
    }
}

void ZLMenuBar::OnTitleClick(wxCommandEvent& event) {
    // After the click has been handled: the menu's loop must not run inside the title's own
    // mouse handler.
    if (swallowUntil != 0) {
        const bool closingPress = wxGetUTCTimeMillis() < swallowUntil;
        swallowUntil = 0;
        if (closingPress) {
            return;
        }
    }
    const int id = event.GetId();
    CallAfter([this, id] { ShowMenu(id); });
}
