#pragma once

#include "common/face_entry.h"
#include "window/base/zq_piece_window.h"

#include <wx/bitmap.h>
#include <wx/colour.h>

#include <memory>

class DhBitmapButton;

// The title bar drawn at the top of the borderless main window: the application's logo, the
// product's name, and minimize and close buttons. Dragging it moves the window.
class TitleWindow : public ZqPieceWindow {
public:
    enum Id { kClose = 0, kMinimize = 1 };

    TitleWindow() = default;

    bool Create(wxWindow* parent, wxBitmap* piece, wxWindowID id, const wxPoint& position,
                const wxSize& size, long style = wxTAB_TRAVERSAL | wxNO_BORDER);
    void DrawBackground(wxDC& dc) override;

    DhBitmapButton* GetCloseButton() const { return closeButton; }
    DhBitmapButton* GetMinimizeButton() const { return minimizeButton; }

protected:
    wxSize DoGetBestSize() const override;

private:
    DhBitmapButton* MakeButton(wxWindowID id, const char* stem, int right, int y);

    void OnClose(wxCommandEvent& event);
    void OnMinimize(wxCommandEvent& event);
    void OnLeftDown(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);
    void OnMotion(wxMouseEvent& event);

    wxBitmap logo;
    FaceEntry logoPosition;
    wxColour textColour;
    wxPoint dragOffset;
    // The button images, owned here (the buttons keep pointers).
    std::unique_ptr<wxBitmap> images[6];
    DhBitmapButton* closeButton = nullptr;
    DhBitmapButton* minimizeButton = nullptr;
};
