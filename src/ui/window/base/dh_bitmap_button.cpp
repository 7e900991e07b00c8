#include "window/base/dh_bitmap_button.h"

#include "window/base/dh_word_button.h"

#include <wx/dcclient.h>

wxIMPLEMENT_DYNAMIC_CLASS(DhBitmapButton, wxControl);

DhBitmapButton::DhBitmapButton(wxWindow* parent, wxWindowID id, const wxPoint& position,
                               const wxSize& size, long style, const wxValidator& validator) {
    Create(parent, id, position, size, style, validator);
}

bool DhBitmapButton::Create(wxWindow* parent, wxWindowID id, const wxPoint& position,
                            const wxSize& size, long style, const wxValidator& validator) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    if (!wxControl::Create(parent, id, position, size, style, validator)) {
        return false;
    }
    hasBackground = false;
    Bind(wxEVT_PAINT, &DhBitmapButton::OnPaint, this);
    Bind(wxEVT_ENTER_WINDOW, &DhBitmapButton::OnEnterWindow, this);
    Bind(wxEVT_LEAVE_WINDOW, &DhBitmapButton::OnLeaveWindow, this);
    Bind(wxEVT_LEFT_DOWN, &DhBitmapButton::OnLeftDown, this);
    Bind(wxEVT_LEFT_DCLICK, &DhBitmapButton::OnLeftDClick, this);
    Bind(wxEVT_LEFT_UP, &DhBitmapButton::OnLeftUp, this);
    return true;
}

DhBitmapButton* DhBitmapButton::SetNormalBitmap(const wxBitmap* bitmap) {
    normal = bitmap;
    return this;
}

DhBitmapButton* DhBitmapButton::SetPressedBitmap(const wxBitmap* bitmap) {
    pressed = bitmap;
    return this;
}

void DhBitmapButton::SetBackgroundBitmap(const wxBitmap& bitmap) {
    background_ = bitmap;
    hasBackground = true;
}

bool DhBitmapButton::SetBackgroundColour(const wxColour& colour) {
    hasBackground = false;
    return wxControl::SetBackgroundColour(colour);
}

bool DhBitmapButton::Enable(bool enable) {
    state = enable ? DhWordButton::kNormal : DhWordButton::kDisabled;
    Refresh(false);
    Update();
    return wxControl::Enable(enable);
}

wxSize DhBitmapButton::DoGetBestSize() const {
    return GetSize();
}

void DhBitmapButton::SetState(int newState, bool erase) {
    state = newState;
    Refresh(erase);
    Update();
}

void DhBitmapButton::OnEnterWindow(wxMouseEvent& event) {
    if (IsEnabled()) {
        SetState(DhWordButton::kCurrent, true);
    }
    event.Skip();
}

void DhBitmapButton::OnLeaveWindow(wxMouseEvent& event) {
    if (IsEnabled()) {
        SetState(DhWordButton::kLeft, true);
    }
    event.Skip();
}

void DhBitmapButton::OnLeftDown(wxMouseEvent& event) {
    SetState(DhWordButton::kPressed, true);
    event.Skip();
}

void DhBitmapButton::OnLeftDClick(wxMouseEvent& event) {
    SetState(DhWordButton::kPressed, false);
    event.Skip();
}

void DhBitmapButton::OnLeftUp(wxMouseEvent& event) {
    event.Skip();
    if (state != DhWordButton::kPressed) {
        return;
    }
    SetState(DhWordButton::kReleased, true);
    wxCommandEvent click(wxEVT_BUTTON, GetId());
    click.SetEventObject(this);
    GetEventHandler()->ProcessEvent(click);
}

void DhBitmapButton::OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    const wxSize size = GetSize();
    if (hasBackground && background_.IsOk()) {
        dc.DrawBitmap(background_, 0, 0, true);
    } else {
        dc.SetBrush(wxBrush(GetBackgroundColour()));
        dc.SetPen(wxPen(GetBackgroundColour(), 1));
        dc.DrawRectangle(0, 0, size.x, size.y);
    }
    const wxBitmap* image = normal;
    switch (state) {
    case DhWordButton::kCurrent:
        if (current == nullptr) {
            // No pointer-over image: a red frame shows where the button is.
            dc.SetPen(*wxRED_PEN);
            dc.SetBrush(*wxTRANSPARENT_BRUSH);
            dc.DrawRectangle(0, 0, size.x, size.y);
            return;
        }
        image = current;
        break;
    case DhWordButton::kPressed:
        image = pressed != nullptr ? pressed : normal;
        break;
    case DhWordButton::kDisabled:
        image = disabled != nullptr ? disabled : normal;
        break;
    default:
        break;
    }
    if (image != nullptr && image->IsOk()) {
        dc.DrawBitmap(*image, 0, 0, true);
    }
}
