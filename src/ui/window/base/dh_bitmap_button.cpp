#include "window/base/dh_bitmap_button.h"

#include <wx/dcclient.h>
#include <wx/intl.h>

wxIMPLEMENT_DYNAMIC_CLASS(DhBitmapButton, DhPushButton);

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
    BindPointerEvents();
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

wxString DhBitmapButton::GetAccessibleName() const {
    return meaning != nullptr ? wxGetTranslation(meaning) : DhPushButton::GetAccessibleName();
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
    case kCurrent:
        if (current == nullptr) {
            // No pointer-over image: a red frame shows where the button is.
            dc.SetPen(*wxRED_PEN);
            dc.SetBrush(*wxTRANSPARENT_BRUSH);
            dc.DrawRectangle(0, 0, size.x, size.y);
            return;
        }
        image = current;
        break;
    case kPressed:
        image = pressed != nullptr ? pressed : normal;
        break;
    case kDisabled:
        image = disabled != nullptr ? disabled : normal;
        break;
    default:
        break;
    }
    if (image != nullptr && image->IsOk()) {
        dc.DrawBitmap(*image, 0, 0, true);
    }
    DrawFocus(dc);
}
