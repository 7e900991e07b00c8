#pragma once

#include "window/base/dh_push_button.h"

#include <wx/bitmap.h>

// An image button: one of up to four bitmaps owned by its owner (normal, pressed, current,
// disabled) over a background piece or colour. The states and click event of DhPushButton.
class DhBitmapButton : public DhPushButton {
public:
    DhBitmapButton() = default;
    DhBitmapButton(wxWindow* parent, wxWindowID id, const wxPoint& position = wxDefaultPosition,
                   const wxSize& size = wxDefaultSize, long style = wxBORDER_NONE,
                   const wxValidator& validator = wxDefaultValidator);

    bool Create(wxWindow* parent, wxWindowID id, const wxPoint& position = wxDefaultPosition,
                const wxSize& size = wxDefaultSize, long style = wxBORDER_NONE,
                const wxValidator& validator = wxDefaultValidator);

    DhBitmapButton* SetNormalBitmap(const wxBitmap* bitmap);
    DhBitmapButton* SetPressedBitmap(const wxBitmap* bitmap);
    void SetCurrentBitmap(const wxBitmap* bitmap) { current = bitmap; }
    void SetDisabledBitmap(const wxBitmap* bitmap) { disabled = bitmap; }
    // Copies the bitmap drawn behind the image.
    void SetBackgroundBitmap(const wxBitmap& bitmap);
    bool SetBackgroundColour(const wxColour& colour) override;
    // What the image means, for those who cannot see it: an untranslated text (marked with
    // wxTRANSLATE), read in the interface's language of the moment.
    void SetMeaning(const char* text) { meaning = text; }
    wxString GetAccessibleName() const override;

private:
    void OnPaint(wxPaintEvent& event);

    wxBitmap background_;
    bool hasBackground = false;
    const wxBitmap* normal = nullptr;
    const wxBitmap* pressed = nullptr;
    const wxBitmap* current = nullptr;
    const wxBitmap* disabled = nullptr;
    const char* meaning = nullptr;

    wxDECLARE_DYNAMIC_CLASS(DhBitmapButton);
};
