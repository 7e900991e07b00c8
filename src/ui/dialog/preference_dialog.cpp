#include "dialog/preference_dialog.h"

#include "common/accessible.h"

#include "dialog/setting_code.h"
#include "dialog/setting_page.h"
#include "dialog/setting_proxy.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/notebook.h>
#include <wx/panel.h>
#include <wx/sizer.h>

wxIMPLEMENT_DYNAMIC_CLASS(PreferenceDialog, wxDialog);

bool PreferenceDialog::Create(wxWindow* parent, wxWindowID id, const wxString& title,
                              const wxPoint& position, const wxSize& size, long style) {
    if (!wxDialog::Create(parent, id, title, position, size, style)) {
        return false;
    }
    auto* panel = new wxPanel(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                              wxTAB_TRAVERSAL | wxNO_BORDER);
    m_notebook = new wxNotebook(panel, wxID_ANY, wxDefaultPosition, wxDefaultSize, 0);
    auto* save = new wxButton(panel, kSaveButton, _("Save"));
    auto* reset = new wxButton(panel, kResetButton, _("Reset"));
    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    buttons->AddStretchSpacer(1);
    buttons->Add(save, 0, wxALIGN_BOTTOM);
    buttons->AddSpacer(4);
    buttons->Add(reset, 0, wxALIGN_BOTTOM);

    auto* layout = new wxBoxSizer(wxVERTICAL);
    layout->Add(m_notebook, 1, wxEXPAND | wxALL, 0);
    layout->Add(buttons, 0, wxEXPAND | wxALL, 8);
    panel->SetSizer(layout);
    auto* frame = new wxBoxSizer(wxVERTICAL);
    frame->Add(panel, 1, wxEXPAND);
    SetSizer(frame);

    Bind(wxEVT_BUTTON, &PreferenceDialog::OnSave, this, kSaveButton);
    Bind(wxEVT_BUTTON, &PreferenceDialog::OnReset, this, kResetButton);
    Bind(wxEVT_CHAR_HOOK, &PreferenceDialog::OnCharHook, this);
    return true;
}

void PreferenceDialog::OnCharHook(wxKeyEvent& event) {
    // The dialog has no Cancel button for the toolkit to press: Escape closes it as the
    // close box does, saving nothing.
    if (event.GetKeyCode() == WXK_ESCAPE && event.GetModifiers() == wxMOD_NONE) {
        Close();
        return;
    }
    event.Skip();
}

void PreferenceDialog::AddPage(wxWindow* page, const wxString& title) {
    m_notebook->AddPage(page, title, false);
}

void PreferenceDialog::OnSubjectChanged(CjxSubject*, void*) {}

void PreferenceDialog::OnSave(wxCommandEvent&) {
    SetCode(kSettingSave);
    int refused = 0;
    Notify(&refused);
    if (refused != 0) {
        return;
    }
    if (IsModal()) {
        EndModal(0);
    } else {
        SetReturnCode(0);
        Hide();
    }
}

void PreferenceDialog::OnReset(wxCommandEvent&) {
    SetCode(kSettingReset);
    Notify(nullptr);
}

PreferenceDialog* PreferenceDialog::Build(wxWindow* parent) {
    if (parent == nullptr) {
        parent = wxTheApp->GetTopWindow();
    }
    auto* dialog = new PreferenceDialog;
    dialog->Create(parent, wxID_ANY, _("Preference"), wxDefaultPosition, wxDefaultSize,
                   wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX | wxMAXIMIZE_BOX | wxRESIZE_BORDER);
    auto* proxy = new SettingProxy;
    proxy->Create(dialog->m_notebook, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                  wxTAB_TRAVERSAL | wxNO_BORDER);
    auto* page = new SettingPage;
    page->Create(dialog->m_notebook, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                 wxTAB_TRAVERSAL | wxNO_BORDER);
    dialog->Attach(page);
    dialog->Attach(proxy);
    dialog->AddPage(proxy, _("Proxy Setting"));
    dialog->AddPage(page, _("Page Setting"));
    dialog->m_settingPage = page;
    dialog->m_proxyPage = proxy;
    // The client area fits the larger page, in any language and theme, as both the current
    // and the smallest size, and is laid out before the window is shown. Setting the client
    // size rather than the whole size keeps it right while a window manager's frame is not
    // yet known: the toolkit adds the frame around it once the manager tells its size.
    dialog->GetSizer()->SetSizeHints(dialog);
    dialog->Layout();
    Accessible::NameFieldsByLabels(dialog);
    dialog->CentreOnParent(wxBOTH);
    return dialog;
}

int PreferenceDialog::Open(wxWindow* parent) {
    PreferenceDialog* dialog = Build(parent);
    const int result = dialog->ShowModal();
    dialog->Destroy();
    return result;
}
