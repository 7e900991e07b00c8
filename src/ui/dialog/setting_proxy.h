#pragma once

#include "window/base/cjx_observer.h"
#include "window/base/cjx_subject.h"

#include <wx/panel.h>

class wxChoice;
class wxTextCtrl;

// The "Proxy Setting" page of the preference dialog: the proxy that the update check goes
// through, stored in the settings object for the rest of the run (never in a file) when the
// dialog saves (code 28), and cleared when it resets (code 29).
//
// Its controls carry names for lookup: "type", "address", "port", "user", "password".
class SettingProxy : public wxPanel, public CjxObserver, public CjxSubject {
public:
    SettingProxy() = default;

    bool Create(wxWindow* parent, wxWindowID id = wxID_ANY,
                const wxPoint& position = wxDefaultPosition, const wxSize& size = wxDefaultSize,
                long style = wxTAB_TRAVERSAL | wxNO_BORDER, const wxString& name = wxPanelNameStr);

    // Code 28 saves (a refusal sets the int result to 1), code 29 resets.
    void OnSubjectChanged(CjxSubject* subject, void* argument) override;

    // Stores the proxy record: no proxy (address and port empty), or an address without
    // blanks and a port from 1 to 65535. False, after a message, for anything else.
    bool Save();
    // Empties the address, port, user name and password fields; the stored record stays
    // until the next Save.
    void Reset();

private:
    wxChoice* m_type = nullptr;
    wxTextCtrl* m_address = nullptr;
    wxTextCtrl* m_port = nullptr;
    wxTextCtrl* m_user = nullptr;
    wxTextCtrl* m_password = nullptr;
};
