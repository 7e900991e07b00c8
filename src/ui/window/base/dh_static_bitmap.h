#pragma once

#include "common/accessible.h"
#include "window/base/background_piece.h"
#include "window/base/dh_static_bitmap_base.h"

// A static image over a themed background: its erase step draws the piece of the parent's
// background under it, then the image is drawn with its transparency.
class DhStaticBitmap : public DhStaticBitmapBase, public Accessible {
public:
    DhStaticBitmap() = default;
    DhStaticBitmap(wxWindow* parent, wxWindowID id, const wxBitmap& bitmap,
                   const wxPoint& position = wxDefaultPosition, const wxSize& size = wxDefaultSize,
                   long style = 0, const wxString& name = wxStaticBitmapNameStr);

    // What the image shows, for those who cannot see it.
    void SetAccessibleName(const wxString& text) { m_accessibleName = text; }
    Role GetAccessibleRole() const override { return Role::kImage; }
    wxString GetAccessibleName() const override { return m_accessibleName; }

private:
    void OnEraseBackground(wxEraseEvent& event);

    BackgroundPiece piece;
    wxString m_accessibleName;
};
