#pragma once

#include "common/accessible.h"

#include <wx/bitmap.h>
#include <wx/control.h>

// The title of one menu in the custom menu bar: its label drawn on the piece of the menu
// bar's background under it, highlighted under the pointer; a press sends the button-click
// event at once, as menu titles do.
class ZlMenuButton : public wxControl, public Accessible {
public:
    ZlMenuButton() = default;
    ZlMenuButton(void* userData, const wxString& label, const wxBitmap& background,
                 wxWindow* parent, wxWindowID id, const wxColour& normalColour,
                 const wxColour& currentColour, const wxPoint& position = wxDefaultPosition,
                 long style = wxBORDER_NONE, const wxValidator& validator = wxDefaultValidator);

    bool Create(wxWindow* parent, wxWindowID id, const wxPoint& position = wxDefaultPosition,
                long style = wxBORDER_NONE, const wxValidator& validator = wxDefaultValidator);

    void SetBitmap(int index, const wxBitmap& bitmap);
    wxBitmap GetBitmap(int index) const;
    void SetCurrent();
    void SetNormal();
    int GetState() const { return state; }
    void SetState(int value) { state = value; }
    bool IsHoverTracking() const { return hoverTracking; }
    void SetHoverTracking(bool tracking) { hoverTracking = tracking; }
    void* GetUserData() const { return userData; }
    void SetUserData(void* data) { userData = data; }
    bool Enable(bool enable = true) override;
    // Menu titles are reached with F10, not with Tab.
    bool AcceptsFocusFromKeyboard() const override { return false; }
    void Disable() { Enable(false); }

    // A menu title to assistive technologies; its action opens the menu.
    Role GetAccessibleRole() const override { return Role::kMenuTitle; }
    wxString GetAccessibleName() const override { return GetLabelText(); }
    bool HasAccessibleAction() const override { return true; }
    void DoAccessibleAction() override;

protected:
    wxSize DoGetBestSize() const override;

private:
    void SendClick();
    void OnPaint(wxPaintEvent& event);
    void OnEnterWindow(wxMouseEvent& event);
    void OnLeaveWindow(wxMouseEvent& event);
    void OnLeftDown(wxMouseEvent& event);

    int state = 0;
    bool hoverTracking = true;
    wxBitmap bitmaps[3];
    void* userData = nullptr;

    wxDECLARE_DYNAMIC_CLASS(ZlMenuButton);
};
