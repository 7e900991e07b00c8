#pragma once

#include "window/base/cjx_observer.h"
#include "window/base/cjx_subject.h"

#include <wx/dialog.h>

class SettingPage;
class SettingProxy;
class wxNotebook;

// The preference dialog: a notebook with the "Proxy Setting" and "Page Setting" pages, and
// "Save" and "Reset" buttons that tell the attached pages to save (code 28) or reset (code
// 29). Save closes the dialog only when no page refused; Escape and the close box close it
// without saving.
class PreferenceDialog : public wxDialog, public CjxObserver, public CjxSubject {
public:
    enum { kSaveButton = 1, kResetButton = 2 };

    PreferenceDialog() = default;

    bool Create(wxWindow* parent, wxWindowID id, const wxString& title,
                const wxPoint& position = wxDefaultPosition, const wxSize& size = wxDefaultSize,
                long style = wxDEFAULT_DIALOG_STYLE);

    // Adds a page to the notebook without selecting it.
    void AddPage(wxWindow* page, const wxString& title);
    wxNotebook* GetNotebook() const { return m_notebook; }

    void OnSubjectChanged(CjxSubject* subject, void* argument) override;

    // The dialog as the "Preference" command shows it, with both pages attached (the page
    // settings first) and the proxy page first in the notebook, sized to fit them and centred
    // on its parent (without one, on the application's main window). The caller shows and
    // destroys it.
    static PreferenceDialog* Build(wxWindow* parent);
    // Builds the dialog, shows it modally and destroys it. Returns 0 when it was saved,
    // wxID_CANCEL when it was closed without saving.
    static int Open(wxWindow* parent = nullptr);

    SettingPage* GetSettingPage() const { return m_settingPage; }
    SettingProxy* GetProxyPage() const { return m_proxyPage; }

private:
    void OnSave(wxCommandEvent& event);
    void OnReset(wxCommandEvent& event);
    void OnCharHook(wxKeyEvent& event);

    wxNotebook* m_notebook = nullptr;
    SettingPage* m_settingPage = nullptr;
    SettingProxy* m_proxyPage = nullptr;

    wxDECLARE_DYNAMIC_CLASS(PreferenceDialog);
};
