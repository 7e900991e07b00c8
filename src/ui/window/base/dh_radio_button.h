#pragma once

#include "common/accessible.h"
#include "window/base/background_piece.h"

#include <wx/bitmap.h>
#include <wx/control.h>

class DhRadioGroup;

// Sent by DhRadioButton when an unselected button is pressed; the integer is its index.
wxDECLARE_EVENT(DH_EVT_RADIO_BUTTON, wxCommandEvent);

// A radio button drawn from two images (normal, selected) and its label over its parent's
// background. The group selects it only when a handler processed its event.
class DhRadioButton : public wxControl, public Accessible {
public:
    DhRadioButton() = default;

    bool Create(wxWindow* parent, wxWindowID id, const wxBitmap& normal, const wxBitmap& selected,
                const wxBitmap& background, const wxPoint& position = wxDefaultPosition,
                const wxSize& size = wxDefaultSize, long style = wxBORDER_NONE,
                const wxValidator& validator = wxDefaultValidator);

    // Stores the label; sizes the control to image, gap and text, or to the image alone.
    void SetLabel(const wxString& text, bool imageOnly);
    void SetLabel(const wxString& text) override { SetLabel(text, imageOnly); }
    wxString GetLabel() const override { return label; }
    // Sets the selected flag; a button in a group then has the group select it.
    void SetValue(bool value);
    bool GetValue() const { return selected; }
    const wxBitmap& GetCurrentBitmap() const { return selected ? selectedImage : normalImage; }
    int GetGap() const { return gap; }
    void SetGap(int value) { gap = value; }
    int GetIndex() const { return index; }

    Role GetAccessibleRole() const override { return Role::kRadioButton; }
    wxString GetAccessibleName() const override { return GetLabelText(label); }
    unsigned GetAccessibleStates() const override { return selected ? unsigned{kChecked} : 0U; }
    bool HasAccessibleAction() const override { return true; }
    // Selects the button as a click does.
    void DoAccessibleAction() override;

    // The parent's background, of which the button draws the piece under it.
    void SetBackgroundBitmap(const wxBitmap& bitmap);

    // Used by the group.
    void SetGroup(DhRadioGroup* owner, int position);
    void SetSelected(bool value);

private:
    void OnPaint(wxPaintEvent& event);
    void OnLeftDown(wxMouseEvent& event);
    void OnKeyDown(wxKeyEvent& event);
    // A press: the group selects the button when a handler took its event.
    void Press();

    DhRadioGroup* group = nullptr;
    int index = -1;
    wxBitmap normalImage;
    wxBitmap selectedImage;
    wxBitmap background_;
    BackgroundPiece piece;
    wxString label;
    bool selected = false;
    int gap = 6;
    bool imageOnly = false;

    wxDECLARE_DYNAMIC_CLASS(DhRadioButton);
};
