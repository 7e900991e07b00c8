#pragma once

#include "window/base/background_piece.h"
#include "window/base/dh_push_button.h"

#include <wx/bitmap.h>

// A text button whose face is built from three-slice state images (left cap, centre piece
// stretched under the label, right cap), painted double-buffered over a piece of its
// parent's background. It follows the pointer and sends the ordinary button-click event.
class DhWordButton : public DhPushButton {
public:
    // Background modes.
    enum BackgroundMode { kPiece = 0, kTiled = 1, kColour = 2 };

    DhWordButton() = default;

    bool Create(wxWindow* parent, wxWindowID id, const wxPoint& position = wxDefaultPosition);

    // Slices the state images; the current and pressed images may be invalid.
    virtual void SetStateBitmaps(const wxBitmap& normal, int leftWidth, int centreWidth,
                                 const wxBitmap& current, const wxBitmap& pressed);
    // Sets the label and font, composes every face and resizes the button to the normal one.
    void SetLabelAndFont(const wxString& label, const wxFont& font);
    void SetBackgroundBitmap(const wxBitmap& background, int mode);
    bool SetBackgroundColour(const wxColour& colour) override;

    // The label's vertical offset on the face.
    void SetTextY(int y) { textY = y; }
    int GetTextY() const { return textY; }
    int GetTextX() const { return textX; }
    wxString GetLabel() const override { return label; }
    // A copy of the composed normal face with the label drawn on it.
    wxBitmap GetLabelledBitmap() const;

protected:
    virtual void OnPaint(wxPaintEvent& event);
    virtual void DrawFaceOrFallback(wxDC& dc);
    virtual void DrawBackground(wxDC& dc);
    virtual void DrawLabelOn(wxDC& dc) const;
    virtual wxBitmap ComposeFace(const wxBitmap slices[3]) const;
    virtual void UpdateTextPosition();
    virtual void OnTextPositionSet() {}

    // Left cap, centre piece, right cap and composed face of each look.
    wxBitmap normal_bitmap_[4];
    wxBitmap pressed_bitmap_[4];
    wxBitmap current_bitmap_[4];
    wxBitmap disabled_bitmap_;
    wxBitmap background_;
    BackgroundPiece piece;
    int backgroundMode = kColour;
    wxString label;
    int textX = 0;
    int textY = 0;
    // Keeps the label's baseline where the theme placed the font's own (see SetLabelAndFont).
    int baselineShift = 0;
    // Rows added to the theme's face for a label taller than it.
    int faceGrowth = 0;

private:
    static void Slice(const wxBitmap& image, int leftWidth, int centreWidth, wxBitmap slices[4]);

    wxDECLARE_DYNAMIC_CLASS(DhWordButton);
};
