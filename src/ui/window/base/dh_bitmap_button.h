#pragma once

#include <wx/bitmap.h>
#include <wx/control.h>

// An image button: one of up to four bitmaps owned by its owner (normal, pressed, current,
// disabled) over a background piece or colour. Same states and click event as DhWordButton.
class DhBitmapButton : public wxControl {
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
    bool Enable(bool enable = true) override;
    virtual void Disable() { Enable(false); }
    int GetState() const { return state; }

protected:
    wxSize DoGetBestSize() const override;
    virtual void OnEnterWindow(wxMouseEvent& event);
    virtual void OnLeaveWindow(wxMouseEvent& event);
    virtual void OnLeftDown(wxMouseEvent& event);
    virtual void OnLeftDClick(wxMouseEvent& event);
    virtual void OnLeftUp(wxMouseEvent& event);

    void SetState(int newState, bool erase);

private:
    void OnPaint(wxPaintEvent& event);

    wxBitmap background_;
    bool hasBackground = false;
    const wxBitmap* normal = nullptr;
    const wxBitmap* pressed = nullptr;
    const wxBitmap* current = nullptr;
    const wxBitmap* disabled = nullptr;
    int state = 0;

    wxDECLARE_DYNAMIC_CLASS(DhBitmapButton);
};
