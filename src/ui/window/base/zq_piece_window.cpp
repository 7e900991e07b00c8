#include "window/base/zq_piece_window.h"

#include <wx/dcbuffer.h>

wxIMPLEMENT_DYNAMIC_CLASS(ZqPieceWindow, wxPanel);

ZqPieceWindow::~ZqPieceWindow() = default;

bool ZqPieceWindow::Create(wxWindow* parent, wxBitmap* bitmap, wxWindowID id,
                           const wxPoint& position, const wxSize& size, long style,
                           const wxString& name) {
    piece.reset(bitmap);
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    if (!wxPanel::Create(parent, id, position, size, style, name)) {
        return false;
    }
    Bind(wxEVT_PAINT, &ZqPieceWindow::OnPaint, this);
    return true;
}

void ZqPieceWindow::ReplacePiece(const wxBitmap& bitmap) {
    if (piece) {
        *piece = bitmap;
    } else {
        piece = std::make_unique<wxBitmap>(bitmap);
    }
    Refresh(false);
}

void ZqPieceWindow::OnSubjectChanged(CjxSubject*, void*) {}

void ZqPieceWindow::DrawBackground(wxDC& dc) {
    const wxSize size = GetClientSize();
    if (!piece || !piece->IsOk() || piece->GetWidth() < size.x || piece->GetHeight() < size.y) {
        dc.SetBackground(wxBrush(GetBackgroundColour()));
        dc.Clear();
    }
    if (piece && piece->IsOk()) {
        dc.DrawBitmap(*piece, 0, 0, true);
    }
}

void ZqPieceWindow::OnPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
    DrawBackground(dc);
}
