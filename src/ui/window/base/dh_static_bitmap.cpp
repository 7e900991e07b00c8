#include "window/base/dh_static_bitmap.h"

DhStaticBitmap::DhStaticBitmap(wxWindow* parent, wxWindowID id, const wxBitmap& bitmap,
                               const wxPoint& position, const wxSize& size, long style,
                               const wxString& name)
    : DhStaticBitmapBase(parent, id, bitmap, position, size, style, name) {
    Bind(wxEVT_ERASE_BACKGROUND, &DhStaticBitmap::OnEraseBackground, this);
    AttachAccessible(this);
}

void DhStaticBitmap::OnEraseBackground(wxEraseEvent& event) {
    piece.Erase(this, bg_, event);
}
