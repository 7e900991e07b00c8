#pragma once

#include "common/accessible.h"
#include "window/base/background_piece.h"

#include <wx/bitmap.h>
#include <wx/control.h>

// Sent by DhCheckBox on a completed click; the integer is the new state (0 or 1).
wxDECLARE_EVENT(DH_EVT_CHECK_BOX, wxCommandEvent);

// A check box drawn over its parent's background: the platform's own check mark, then the
// label. A click is a press and a release over the control.
class DhCheckBox : public wxControl, public Accessible {
public:
    enum Display { kUnchecked = 0, kChecked = 1, kDisabledUnchecked = 10, kDisabledChecked = 11 };

    DhCheckBox() = default;

    bool Create(wxWindow* parent, wxWindowID id, const wxPoint& position = wxDefaultPosition,
                const wxSize& size = wxDefaultSize, long style = wxBORDER_NONE,
                const wxValidator& validator = wxDefaultValidator);

    // Stores the label and resizes the control to box, gap and text.
    void SetLabel(const wxString& text) override;
    wxString GetLabel() const override { return label; }
    void SetValue(bool value);
    bool GetValue() const { return checked; }
    void SetBackgroundBitmap(const wxBitmap& bitmap, int mode);
    bool Enable(bool enable = true) override;
    void Disable() { Enable(false); }
    int GetDisplayState() const { return display; }

    Role GetAccessibleRole() const override { return Role::kCheckBox; }
    wxString GetAccessibleName() const override { return GetLabelText(label); }
    unsigned GetAccessibleStates() const override {
        return checked ? unsigned{Accessible::kChecked} : 0U;
    }
    bool HasAccessibleAction() const override { return true; }
    // Toggles the box as a click does.
    void DoAccessibleAction() override;

private:
    void OnPaint(wxPaintEvent& event);
    void OnLeftDown(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);
    void OnKeyDown(wxKeyEvent& event);
    void Toggle();

    wxString label;
    int boxWidth = 0;
    int boxHeight = 0;
    int gap = 6;
    bool checked = false;
    bool pressed = false;
    wxBitmap background_;
    int backgroundMode = 0;
    BackgroundPiece piece;
    int display = kUnchecked;

    wxDECLARE_DYNAMIC_CLASS(DhCheckBox);
};
