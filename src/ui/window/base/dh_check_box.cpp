#include "window/base/dh_check_box.h"

#include "window/base/focus_mark.h"

#include <wx/dcclient.h>
#include <wx/renderer.h>

wxDEFINE_EVENT(DH_EVT_CHECK_BOX, wxCommandEvent);
wxIMPLEMENT_DYNAMIC_CLASS(DhCheckBox, wxControl);

bool DhCheckBox::Create(wxWindow* parent, wxWindowID id, const wxPoint& position,
                        const wxSize& size, long style, const wxValidator& validator) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    if (!wxControl::Create(parent, id, position, size, style, validator)) {
        return false;
    }
    const wxSize box = wxRendererNative::Get().GetCheckBoxSize(this);
    boxWidth = box.x;
    boxHeight = box.y;
    gap = 6;
    checked = pressed = false;
    Bind(wxEVT_PAINT, &DhCheckBox::OnPaint, this);
    Bind(wxEVT_LEFT_DOWN, &DhCheckBox::OnLeftDown, this);
    Bind(wxEVT_LEFT_DCLICK, &DhCheckBox::OnLeftDown, this);
    Bind(wxEVT_LEFT_UP, &DhCheckBox::OnLeftUp, this);
    Bind(wxEVT_KEY_DOWN, &DhCheckBox::OnKeyDown, this);
    FocusMark::Follow(this);
    AttachAccessible(this);
    return true;
}

void DhCheckBox::DoAccessibleAction() {
    if (IsEnabled()) {
        Toggle();
    }
}

void DhCheckBox::SetLabel(const wxString& text) {
    label = text;
    wxControl::SetLabel(text);
    const wxSize extent = GetTextExtent(text);
    const wxSize size(boxWidth + gap + extent.x, std::max(extent.y, boxHeight));
    SetSize(size);
    SetMinSize(size);
    Refresh();
}

void DhCheckBox::SetValue(bool value) {
    if (value != checked) {
        NotifyAccessibleStateChanged(Accessible::kChecked, value);
    }
    checked = value;
    display = IsEnabled() ? (checked ? kChecked : kUnchecked)
                          : (checked ? kDisabledChecked : kDisabledUnchecked);
    Refresh(true);
}

void DhCheckBox::SetBackgroundBitmap(const wxBitmap& bitmap, int mode) {
    background_ = bitmap;
    backgroundMode = mode;
    piece.Reset();
}

bool DhCheckBox::Enable(bool enable) {
    display = enable ? (checked ? kChecked : kUnchecked)
                     : (checked ? kDisabledChecked : kDisabledUnchecked);
    Refresh(false);
    Update();
    return wxControl::Enable(enable);
}

void DhCheckBox::OnLeftDown(wxMouseEvent& event) {
    pressed = true;
    event.Skip();
}

void DhCheckBox::OnLeftUp(wxMouseEvent& event) {
    event.Skip();
    // The toolkit hands a release outside to the control that was pressed; only a release
    // over the control completes the click, and the press stays until then.
    if (!pressed || !GetClientRect().Contains(event.GetPosition())) {
        return;
    }
    pressed = false;
    Toggle();
}

void DhCheckBox::Toggle() {
    checked = !checked;
    NotifyAccessibleStateChanged(Accessible::kChecked, checked);
    display = checked ? kChecked : kUnchecked;
    Refresh(true);
    wxCommandEvent changed(DH_EVT_CHECK_BOX, GetId());
    changed.SetEventObject(this);
    changed.SetInt(checked ? 1 : 0);
    GetEventHandler()->ProcessEvent(changed);
}

void DhCheckBox::OnKeyDown(wxKeyEvent& event) {
    // Space toggles the box that has the keyboard focus, as a click does.
    if (IsEnabled() && event.GetKeyCode() == WXK_SPACE && event.GetModifiers() == wxMOD_NONE) {
        Toggle();
        return;
    }
    event.Skip();
}

void DhCheckBox::OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    const wxSize size = GetSize();
    if (backgroundMode == 0) {
        dc.SetPen(*wxTRANSPARENT_PEN);
        const wxBitmap& bitmap = piece.Get(&background_, wxRect(GetPosition(), size));
        if (bitmap.IsOk()) {
            dc.DrawBitmap(bitmap, 0, 0, true);
        }
    }
    const wxSize box = wxRendererNative::Get().GetCheckBoxSize(this);
    const wxRect boxRect(0, std::abs(size.y - box.y) / 2, box.x, box.y);
    int flags = 0;
    switch (display) {
    case kChecked:
        flags = wxCONTROL_CHECKED;
        break;
    case kDisabledUnchecked:
        flags = wxCONTROL_DISABLED;
        break;
    case kDisabledChecked:
        flags = wxCONTROL_CHECKED | wxCONTROL_DISABLED;
        break;
    default:
        break;
    }
    wxRendererNative::Get().DrawCheckBox(this, dc, boxRect, flags);
    dc.SetFont(GetFont());
    dc.SetTextForeground(display >= kDisabledUnchecked ? wxColour(128, 128, 128)
                                                       : GetForegroundColour());
    const wxSize text = dc.GetTextExtent(label);
    dc.DrawText(label, box.x + gap, std::abs(size.y - text.y) / 2);
    FocusMark::Draw(
        this, dc,
        wxRect(box.x + gap - 2, std::abs(size.y - text.y) / 2 - 1, text.x + 4, text.y + 2));
}
