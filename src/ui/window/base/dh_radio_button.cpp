#include "window/base/dh_radio_button.h"

#include "window/base/focus_mark.h"

#include "window/base/dh_radio_group.h"

#include <wx/dcbuffer.h>
#include <wx/renderer.h>

wxDEFINE_EVENT(DH_EVT_RADIO_BUTTON, wxCommandEvent);
wxIMPLEMENT_DYNAMIC_CLASS(DhRadioButton, wxControl);

bool DhRadioButton::Create(wxWindow* parent, wxWindowID id, const wxBitmap& normal,
                           const wxBitmap& selectedBitmap, const wxBitmap& background,
                           const wxPoint& position, const wxSize& size, long style,
                           const wxValidator& validator) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    if (!wxControl::Create(parent, id, position, size, style, validator)) {
        return false;
    }
    normalImage = normal;
    selectedImage = selectedBitmap;
    background_ = background;
    selected = false;
    index = -1;
    gap = 6;
    Bind(wxEVT_PAINT, &DhRadioButton::OnPaint, this);
    Bind(wxEVT_LEFT_DOWN, &DhRadioButton::OnLeftDown, this);
    Bind(wxEVT_KEY_DOWN, &DhRadioButton::OnKeyDown, this);
    FocusMark::Follow(this);
    AttachAccessible(this);
    return true;
}

void DhRadioButton::DoAccessibleAction() {
    if (IsEnabled()) {
        Press();
    }
}

void DhRadioButton::SetLabel(const wxString& text, bool onlyImage) {
    label = text;
    imageOnly = onlyImage;
    wxControl::SetLabel(text);
    wxSize size = normalImage.IsOk() ? normalImage.GetSize() : wxSize(0, 0);
    if (!imageOnly) {
        const wxSize extent = GetTextExtent(text);
        const wxSize image = selectedImage.IsOk() ? selectedImage.GetSize() : wxSize(0, 0);
        size = wxSize(extent.x + gap + image.x, std::max(extent.y, image.y));
    }
    SetSize(size);
    SetMinSize(size);
    Refresh();
}

void DhRadioButton::SetValue(bool value) {
    selected = value;
    if (group != nullptr && index >= 0) {
        group->Select(index);
    } else {
        Refresh();
    }
}

void DhRadioButton::SetBackgroundBitmap(const wxBitmap& bitmap) {
    background_ = bitmap;
    piece.Reset();
}

void DhRadioButton::SetGroup(DhRadioGroup* owner, int position) {
    group = owner;
    index = position;
}

void DhRadioButton::SetSelected(bool value) {
    if (value != selected) {
        NotifyAccessibleStateChanged(Accessible::kChecked, value);
    }
    selected = value;
    Refresh();
}

void DhRadioButton::OnLeftDown(wxMouseEvent& event) {
    event.Skip();
    Press();
}

void DhRadioButton::OnKeyDown(wxKeyEvent& event) {
    // Space selects the button that has the keyboard focus, as a click does.
    if (IsEnabled() && event.GetKeyCode() == WXK_SPACE && event.GetModifiers() == wxMOD_NONE) {
        Press();
        return;
    }
    event.Skip();
}

void DhRadioButton::Press() {
    if (selected) {
        return;
    }
    wxCommandEvent pressed(DH_EVT_RADIO_BUTTON, GetId());
    pressed.SetEventObject(this);
    pressed.SetInt(index);
    // The selection changes only when somebody took the event.
    if (GetEventHandler()->ProcessEvent(pressed) && group != nullptr) {
        group->Select(index);
    }
}

void DhRadioButton::OnPaint(wxPaintEvent&) {
    wxBufferedPaintDC dc(this);
    const wxSize size = GetClientSize();
    if (background_.IsOk()) {
        const wxBitmap& bitmap = piece.Get(&background_, wxRect(GetPosition(), GetSize()));
        if (bitmap.IsOk()) {
            dc.DrawBitmap(bitmap, 0, 0, true);
        }
    } else {
        dc.SetBackground(wxBrush(GetBackgroundColour()));
        dc.Clear();
    }
    const wxBitmap& image = GetCurrentBitmap();
    int imageWidth = 0;
    if (image.IsOk()) {
        dc.DrawBitmap(image, 0, (size.y - image.GetHeight()) / 2, true);
        imageWidth = image.GetWidth();
    }
    if (!imageOnly) {
        dc.SetFont(GetFont());
        dc.SetTextForeground(GetForegroundColour());
        dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
        const wxSize text = dc.GetTextExtent(label);
        dc.DrawText(label, imageWidth + gap, (size.y - text.y) / 2);
        FocusMark::Draw(
            this, dc,
            wxRect(imageWidth + gap - 2, (size.y - text.y) / 2 - 1, text.x + 4, text.y + 2));
    }
}
