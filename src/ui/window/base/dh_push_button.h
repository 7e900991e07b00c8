#pragma once

#include "common/accessible.h"

#include <wx/control.h>

class wxDC;

// The pointer-following states shared by the themed push buttons. The pointer entering makes
// the button current and leaving it makes it left; a press makes it pressed, and a release
// that ends a press over the button makes it released and sends the ordinary button-click
// event. A press that leaves and comes back, or a release without a press, sends nothing.
// Subclasses paint the state.
class DhPushButton : public wxControl, public Accessible {
public:
    // State codes, shared by the themed buttons.
    enum State { kNormal = 0, kCurrent = 1, kPressed = 2, kReleased = 3, kLeft = 4, kDisabled = 6 };

    bool Enable(bool enable = true) override;
    // Tab reaches the button; Space or Return then clicks it.
    bool AcceptsFocusFromKeyboard() const override { return m_keyboardFocus && IsEnabled(); }
    void DisableFocusFromKeyboard() { m_keyboardFocus = false; }
    virtual void Disable() { Enable(false); }
    int GetState() const { return state; }

    // A push button to assistive technologies, named by its label (its tooltip when it has
    // none), pressed while the pointer holds it; its action clicks it.
    Role GetAccessibleRole() const override { return Role::kPushButton; }
    wxString GetAccessibleName() const override;
    wxString GetAccessibleDescription() const override;
    unsigned GetAccessibleStates() const override {
        return state == kPressed ? unsigned{Accessible::kPressed} : 0U;
    }
    bool HasAccessibleAction() const override { return true; }
    void DoAccessibleAction() override;

protected:
    DhPushButton() = default;

    // Binds the pointer handlers; the subclass's Create calls it once the window exists.
    void BindPointerEvents();
    wxSize DoGetBestSize() const override;
    // Sets the state and repaints at once.
    void SetState(int newState, bool erase);
    // Marks a button that has the keyboard focus; the subclass's painting ends with it.
    void DrawFocus(wxDC& dc);
    // Sends the ordinary button-click event.
    void SendClick();

    virtual void OnEnterWindow(wxMouseEvent& event);
    virtual void OnLeaveWindow(wxMouseEvent& event);
    virtual void OnLeftDown(wxMouseEvent& event);
    virtual void OnLeftDClick(wxMouseEvent& event);
    virtual void OnLeftUp(wxMouseEvent& event);

    virtual void OnKeyDown(wxKeyEvent& event);

    int state = kNormal;

private:
    bool m_keyboardFocus = true;

    wxDECLARE_ABSTRACT_CLASS(DhPushButton);
};
