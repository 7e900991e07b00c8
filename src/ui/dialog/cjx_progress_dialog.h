#pragma once

#include "domain/update_fetcher.h"
#include "domain/update_status.h"

#include <wx/dialog.h>
#include <wx/timer.h>

#include <memory>

class EventChannel;
class wxButton;
class wxGauge;
class wxStaticText;
class wxThreadEvent;

// The update check: a small modeless dialog that fetches the update description on a
// worker thread when it is shown, and tells the user whether a newer version exists. On a
// newer version its Ok button opens the product page. A failed or cancelled check starts
// again the next time the dialog is shown; a result is kept.
//
// Its texts and gauge carry names for lookup: "first", "second", "gauge".
class CjxProgressDialog : public wxDialog {
public:
    enum { kCancelButton = 10, kOkButton = 11 };
    // The widest line of its texts; longer texts wrap.
    static constexpr int kTextWidth = 440;
    enum State { kIdle, kChecking, kNewer, kLatest, kFailed };

    // Created once, hidden, by the menu bar; shown with Show.
    CjxProgressDialog(wxWindow* parent, const wxString& title);
    ~CjxProgressDialog() override;

    // Showing starts a check when none has a result yet; hiding never does.
    bool Show(bool show = true) override;

    State GetState() const { return m_state; }
    // The bounds of the fetch; tests shorten them.
    void SetLimits(const UpdateLimits& limits) { m_limits = limits; }

private:
    void StartCheck();
    // Hides the dialog; a check still running is abandoned and starts afresh next time.
    void Dismiss();
    void ShowResult(UpdateStatus status, const wxString& version);
    void SetTexts(const wxString& first, const wxString& second);
    void OnResult(wxThreadEvent& event);
    void OnCancel(wxCommandEvent& event);
    void OnOk(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnPulse(wxTimerEvent& event);

    wxStaticText* m_first = nullptr;
    wxStaticText* m_second = nullptr;
    wxGauge* m_gauge = nullptr;
    wxButton* m_ok = nullptr;
    wxButton* m_cancel = nullptr;
    wxTimer m_pulse;

    bool m_mayStart = true;
    State m_state = kIdle;
    long m_checkId = 0;
    // The last result, shown again in the language of the time.
    UpdateStatus m_result = UpdateStatus::kNoNetwork;
    wxString m_version;
    std::shared_ptr<EventChannel> m_channel;
    UpdateLimits m_limits;
};
