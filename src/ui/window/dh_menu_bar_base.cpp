#include "window/dh_menu_bar_base.h"

#include "app/app_util.h"
#include "common/file_util.h"
#include "dialog/cjx_progress_dialog.h"
#include "domain/domain_settings.h"
#include "window/language_event.h"
#include "window/main_frame.h"
#include "window/notify_code.h"

#include <wx/app.h>
#include <wx/filename.h>
#include <wx/utils.h>
#include <wx/window.h>

DhMenuBarBase::DhMenuBarBase()
    : updateDialog(new CjxProgressDialog(nullptr, _("Check for Update"))) {}

DhMenuBarBase::~DhMenuBarBase() {
    updateDialog->Destroy();
}

void DhMenuBarBase::OnSubjectChanged(CjxSubject* subject, void*) {
    const int notified = subject->GetCode();
    if (notified == kNotifyConvertLock || notified == kNotifyLoadLock) {
        EnableMenus(false);
    } else if (notified == kNotifyConvertUnlock || notified == kNotifyLoadUnlock) {
        EnableMenus(true);
    }
}

void DhMenuBarBase::NotifyCode(int value) {
    SetCode(value);
    Notify();
}

void DhMenuBarBase::OnLanguage(wxCommandEvent& event) {
    currentLanguage = event.GetId();
    if (wxWindow* top = wxTheApp->GetTopWindow()) {
        auto* change = new wxCommandEvent(EVT_LANGUAGE_CHANGED, top->GetId());
        change->SetInt(currentLanguage);
        top->GetEventHandler()->QueueEvent(change);
    }
}

void DhMenuBarBase::OnAddFiles(wxCommandEvent&) {
    NotifyCode(kNotifyAddFiles);
}

void DhMenuBarBase::OnAddFolder(wxCommandEvent&) {
    NotifyCode(kNotifyAddFolder);
}

void DhMenuBarBase::OnOpenLogFolder(wxCommandEvent&) {
    AppUtil::ExploreFolder(wxFileName(FileUtil::GetLogPath()).GetPath());
}

void DhMenuBarBase::OnExit(wxCommandEvent&) {
    MainFrame::QueueCloseRequest();
}

void DhMenuBarBase::OnDelete(wxCommandEvent&) {
    NotifyCode(kNotifyDelete);
}

void DhMenuBarBase::OnClearAll(wxCommandEvent&) {
    NotifyCode(kNotifyClearAll);
}

void DhMenuBarBase::OnSelectAll(wxCommandEvent&) {
    NotifyCode(kNotifySelectAll);
}

void DhMenuBarBase::OnSelectInvert(wxCommandEvent&) {
    NotifyCode(kNotifyInvertSelection);
}

void DhMenuBarBase::OnPreference(wxCommandEvent&) {
    NotifyCode(kNotifyPreferences);
}

void DhMenuBarBase::OnHelp(wxCommandEvent&) {
    wxLaunchDefaultBrowser(DomainSettings::GetNamed("url:help"));
}

void DhMenuBarBase::OnSupport(wxCommandEvent&) {
    wxLaunchDefaultBrowser(DomainSettings::GetNamed("url:support"));
}

void DhMenuBarBase::OnCheckForUpdate(wxCommandEvent&) {
    // The title in the language of now; the dialog starts a check when it has no result yet.
    updateDialog->SetTitle(_("Check for Update"));
    updateDialog->Centre(wxBOTH);
    updateDialog->Show(true);
    updateDialog->Raise();
}
