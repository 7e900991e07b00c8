#include "window/base/dh_push_button.h"

#include "window/base/focus_mark.h"

#include <wx/dc.h>
#include <wx/renderer.h>

wxIMPLEMENT_ABSTRACT_CLASS(DhPushButton, wxControl);

void DhPushButton::BindPointerEvents() {
    Bind(wxEVT_ENTER_WINDOW, &DhPushButton::OnEnterWindow, this);
    Bind(wxEVT_LEAVE_WINDOW, &DhPushButton::OnLeaveWindow, this);
    Bind(wxEVT_LEFT_DOWN, &DhPushButton::OnLeftDown, this);
    Bind(wxEVT_LEFT_DCLICK, &DhPushButton::OnLeftDClick, this);
    Bind(wxEVT_LEFT_UP, &DhPushButton::OnLeftUp, this);
    Bind(wxEVT_KEY_DOWN, &DhPushButton::OnKeyDown, this);
    FocusMark::Follow(this);
    AttachAccessible(this);
}

wxString DhPushButton::GetAccessibleName() const {
    // Labels keep blanks for the theme's layout ("Start "): not part of the name.
    wxString label = wxControl::GetLabelText(GetLabel());
    label.Trim().Trim(false);
    return !label.empty() ? label : Accessible::GetAccessibleDescription();
}

wxString DhPushButton::GetAccessibleDescription() const {
    const wxString tip = Accessible::GetAccessibleDescription();
    return tip != GetAccessibleName() ? tip : wxString();
}

void DhPushButton::DoAccessibleAction() {
    if (IsEnabled()) {
        SendClick();
    }
}

void DhPushButton::DrawFocus(wxDC& dc) {
    wxRect inside(GetClientSize());
    inside.Deflate(3);
    FocusMark::Draw(this, dc, inside);
}

void DhPushButton::SendClick() {
    wxCommandEvent click(wxEVT_BUTTON, GetId());
    click.SetEventObject(this);
    GetEventHandler()->ProcessEvent(click);
}

void DhPushButton::OnKeyDown(wxKeyEvent& event) {
    const int key = event.GetKeyCode();
    if (IsEnabled() && event.GetModifiers() == wxMOD_NONE &&
        (key == WXK_SPACE || key == WXK_RETURN || key == WXK_NUMPAD_ENTER)) {
        SendClick();
        return;
    }
    event.Skip();
}

bool DhPushButton::Enable(bool enable) {
    state = enable ? kNormal : kDisabled;
    Refresh(false);
    Update();
    return wxControl::Enable(enable);
}

wxSize DhPushButton::DoGetBestSize() const {
    return GetSize();
}

void DhPushButton::SetState(int newState, bool erase) {
    if ((newState == kPressed) != (state == kPressed)) {
        NotifyAccessibleStateChanged(Accessible::kPressed, newState == kPressed);
    }
    state = newState;
    Refresh(erase);
    Update();
}

void DhPushButton::OnEnterWindow(wxMouseEvent& event) {
    if (IsEnabled()) {
        SetState(kCurrent, true);
    }
    event.Skip();
}

void DhPushButton::OnLeaveWindow(wxMouseEvent& event) {
    if (IsEnabled()) {
        SetState(kLeft, true);
    }
    event.Skip();
}

void DhPushButton::OnLeftDown(wxMouseEvent& event) {
    SetState(kPressed, true);
    event.Skip();
}

void DhPushButton::OnLeftDClick(wxMouseEvent& event) {
    // The second press of a double click: pressed again, without erasing the face.
    SetState(kPressed, false);
    event.Skip();
}

void DhPushButton::OnLeftUp(wxMouseEvent& event) {
    event.Skip();
    if (state != kPressed) {
        return; // a press that left and came back, or a release without a press
    }
    SetState(kReleased, true);
    SendClick();
}
