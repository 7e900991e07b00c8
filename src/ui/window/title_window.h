#pragma once

#include "common/face_entry.h"
#include "window/base/zq_piece_window.h"

#include <wx/bitmap.h>
#include <wx/colour.h>

#include <memory>

class DhBitmapButton;

// The title bar drawn at the top of the borderless main window: the application's logo, the
// product's name, and minimise, maximise (restore) and close buttons at its right end.
// Dragging it moves the window; a double click maximises or restores it.
class TitleWindow : public ZqPieceWindow {
public:
    enum Id { kClose = 0, kMinimize = 1, kMaximize = 2 };

    TitleWindow() = default;

    bool Create(wxWindow* parent, wxBitmap* piece, wxWindowID id, const wxPoint& position,
                const wxSize& size, long style = wxTAB_TRAVERSAL | wxNO_BORDER);
    void DrawBackground(wxDC& dc) override;

    DhBitmapButton* GetCloseButton() const { return closeButton; }
    DhBitmapButton* GetMinimizeButton() const { return minimizeButton; }
    DhBitmapButton* GetMaximizeButton() const { return maximizeButton; }
    // The width the logo, the title and the buttons need.
    int NeededWidth() const;

protected:
    wxSize DoGetBestSize() const override;

private:
    // The images of a button in `images` from `first` on: normal, pressed, pointer over it.
    void LoadImages(int first, const char* stem);
    DhBitmapButton* MakeButton(wxWindowID id, int first);
    // The buttons at the bar's right end, the maximise button showing what it will do.
    void LayOutButtons();

    void OnClose(wxCommandEvent& event);
    void OnMinimize(wxCommandEvent& event);
    void OnMaximize(wxCommandEvent& event);
    void OnDoubleClick(wxMouseEvent& event);
    void OnSize(wxSizeEvent& event);
    void OnLeftDown(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);
    void OnMotion(wxMouseEvent& event);

    wxBitmap logo;
    FaceEntry logoPosition;
    wxColour textColour;
    wxPoint dragOffset;
    // The button images, owned here (the buttons keep pointers): close, minimise, maximise
    // and restore, three each.
    std::unique_ptr<wxBitmap> images[12];
    DhBitmapButton* closeButton = nullptr;
    DhBitmapButton* minimizeButton = nullptr;
    DhBitmapButton* maximizeButton = nullptr;
    bool showsRestore = false;
};
