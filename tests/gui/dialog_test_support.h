#pragma once

#include <wx/app.h>
#include <wx/modalhook.h>
#include <wx/msgdlg.h>
#include <wx/testing.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

// Runs the event loop until a condition holds, for at most fifteen seconds.
template <typename Condition> bool WaitUntil(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        wxTheApp->Yield(true);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// Answers a message box with OK after checking its text and caption.
class ExpectMessageBox : public wxExpectModal<wxMessageDialog> {
public:
    ExpectMessageBox(const wxString& text, const wxString& caption)
        : wxExpectModal<wxMessageDialog>(wxID_OK), m_text(text), m_caption(caption) {}

protected:
    int OnInvoked(wxMessageDialog* dialog) const override {
        EXPECT_EQ(dialog->GetMessage(), m_text);
        EXPECT_EQ(dialog->GetTitle(), m_caption);
        return wxExpectModal<wxMessageDialog>::OnInvoked(dialog);
    }

private:
    wxString m_text;
    wxString m_caption;
};

// While it lives, any modal dialog is a test failure and is answered with Cancel at once, so
// that a failing test does not wait for someone to close it.
class NoDialogExpected : public wxModalDialogHook {
public:
    NoDialogExpected() { Register(); }
    ~NoDialogExpected() override { Unregister(); }

protected:
    int Enter(wxDialog* dialog) override {
        wxString text = dialog->GetTitle();
        if (auto* box = dynamic_cast<wxMessageDialog*>(dialog)) {
            text += ": " + box->GetMessage();
        }
        ADD_FAILURE() << "unexpected dialog " << text;
        return wxID_CANCEL;
    }
    void Exit(wxDialog*) override {}
};

// Sends a control the event a user's click or edit would.
inline void Click(wxWindow* control, wxEventType type) {
    wxCommandEvent event(type, control->GetId());
    event.SetEventObject(control);
    if (type == wxEVT_CHECKBOX || type == wxEVT_RADIOBUTTON) {
        event.SetInt(1);
    }
    control->GetEventHandler()->ProcessEvent(event);
}
