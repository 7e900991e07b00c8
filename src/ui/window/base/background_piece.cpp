#include "window/base/background_piece.h"

#include <wx/dcclient.h>
#include <wx/window.h>

const wxBitmap& BackgroundPiece::Get(const wxBitmap* background, const wxRect& rect) {
    if (rect == m_rect && (m_piece.IsOk() || rect.IsEmpty())) {
        return m_piece;
    }
    m_rect = rect;
    m_piece = wxNullBitmap;
    if (background == nullptr || !background->IsOk()) {
        return m_piece;
    }
    wxRect clipped = rect;
    if (clipped.y + clipped.height > background->GetHeight()) {
        clipped.height = background->GetHeight() - clipped.y;
    }
    if (clipped.x + clipped.width > background->GetWidth()) {
        clipped.width = background->GetWidth() - clipped.x;
    }
    if (clipped.x >= 0 && clipped.y >= 0 && clipped.width > 0 && clipped.height > 0) {
        m_piece = background->GetSubBitmap(clipped);
    }
    return m_piece;
}

void BackgroundPiece::Erase(wxWindow* control, const wxBitmap* background, wxEraseEvent& event) {
    const wxBitmap& bitmap = Get(background, wxRect(control->GetPosition(), control->GetSize()));
    if (!bitmap.IsOk()) {
        event.Skip();
        return;
    }
    if (wxDC* dc = event.GetDC()) {
        dc->DrawBitmap(bitmap, 0, 0, false);
    } else {
        wxClientDC client(control);
        client.DrawBitmap(bitmap, 0, 0, false);
    }
}
