#pragma once

#include "window/base/background_piece.h"
#include "window/base/dh_static_bitmap_base.h"

// A static image over a themed background: its erase step draws the piece of the parent's
// background under it, then the image is drawn with its transparency.
class DhStaticBitmap : public DhStaticBitmapBase {
public:
    DhStaticBitmap() = default;
    DhStaticBitmap(wxWindow* parent, wxWindowID id, const wxBitmap& bitmap,
                   const wxPoint& position = wxDefaultPosition, const wxSize& size = wxDefaultSize,
                   long style = 0, const wxString& name = wxStaticBitmapNameStr);

private:
    void OnEraseBackground(wxEraseEvent& event);

    BackgroundPiece piece;
};
