#pragma once

#include "window/base/cjx_observer.h"
#include "window/base/cjx_subject.h"

#include <wx/event.h>

class CjxProgressDialog;

// What every custom menu bar of the product family does with its commands: the ones for the
// file list and the preferences become notifications, the others act here. It also follows
// the file list's locks.
class DhMenuBarBase : public CjxObserver, public CjxSubject {
public:
    // Command ids of the menu tree.
    enum Command {
        kHelp = 5100,
        kSupport = 5103,
        kCheckForUpdate = 5104,
        kDelete = 5105,
        kClearAll = 5106,
        kSelectAll = 5107,
        kSelectInvert = 5108,
        kAddFiles = 5113,
        kAddFolder = 5114,
        kOpenLogFolder = 5115,
        kFileTitle = 5110,
        kEditTitle = 5111,
        kHelpTitle = 5112,
    };

    DhMenuBarBase();
    ~DhMenuBarBase() override;

    void OnSubjectChanged(CjxSubject* subject, void* argument) override;
    virtual void RebuildMenus() {}
    virtual void EnableMenus(bool) {}
    virtual void ShowAbout() {}
    virtual void OnLanguage(wxCommandEvent& event);
    virtual void OnAddFiles(wxCommandEvent& event);
    virtual void OnAddFolder(wxCommandEvent& event);
    virtual void OnOpenLogFolder(wxCommandEvent& event);
    virtual void OnExit(wxCommandEvent& event);
    virtual void OnDelete(wxCommandEvent& event);
    virtual void OnClearAll(wxCommandEvent& event);
    virtual void OnSelectAll(wxCommandEvent& event);
    virtual void OnSelectInvert(wxCommandEvent& event);
    virtual void OnPreference(wxCommandEvent& event);
    virtual void OnHelp(wxCommandEvent& event);
    virtual void OnSupport(wxCommandEvent& event);
    virtual void OnCheckForUpdate(wxCommandEvent& event);

    int GetCurrentLanguage() const { return currentLanguage; }
    // The update-check dialog, created with the menu bar and shown by "Check for Update".
    CjxProgressDialog* GetUpdateDialog() const { return updateDialog; }
    void SetCurrentLanguage(int language) { currentLanguage = language; }

protected:
    void NotifyCode(int code);

    int currentLanguage = 0;
    CjxProgressDialog* updateDialog = nullptr;
};
