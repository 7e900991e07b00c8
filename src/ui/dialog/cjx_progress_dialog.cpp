#include "dialog/cjx_progress_dialog.h"

#include "common/accessible.h"

#include "app/app_util.h"
#include "common/text_wrap.h"
#include "domain/domain_config.h"
#include "domain/domain_settings.h"
#include "thread/update_worker.h"

#include <wx/button.h>
#include <wx/gauge.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/utils.h>

namespace {
std::string Utf8(const wxString& text) {
    return std::string(text.utf8_str());
}

// What the user reads about a failed check.
wxString FailureText(UpdateStatus status) {
    switch (status) {
    case UpdateStatus::kNoAddress:
        return _("Update failed! No update address is configured.");
    case UpdateStatus::kTimedOut:
        return _("Update failed! The update server did not answer in time.");
    case UpdateStatus::kSecureConnection:
        return _("Update failed! No secure connection to the update server could be made.");
    case UpdateStatus::kProxyIncomplete:
    case UpdateStatus::kProxyRefused:
        return _("Update failed! Please check the proxy settings.");
    case UpdateStatus::kServerError:
        return _("Update failed! The update server reported an error.");
    case UpdateStatus::kTooLarge:
    case UpdateStatus::kInvalidDescription:
        return _("Update failed! The update server sent no valid update description.");
    case UpdateStatus::kProductMissing:
        return _("Update failed! The update description does not list this product.");
    default:
        return _("Update failed! Please check if the network is available.");
    }
}
} // namespace

CjxProgressDialog::CjxProgressDialog(wxWindow* parent, const wxString& title)
    : wxDialog(parent, wxID_ANY, title, wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxCLOSE_BOX | wxSYSTEM_MENU) {
    // libcurl is set up once, here on the user-interface thread, before any check runs.
    UpdateFetcher::GlobalInit();

    m_first = new wxStaticText(this, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize, 0,
                               "first");
    m_second = new wxStaticText(this, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize, 0,
                                "second");
    m_gauge = new wxGauge(this, wxID_ANY, 100, wxDefaultPosition, wxDefaultSize,
                          wxGA_HORIZONTAL | wxGA_SMOOTH, wxDefaultValidator, "gauge");
    // The bar tells how far the task of the dialog's title has come.
    Accessible::NameNative(m_gauge, GetTitle());
    m_ok = new wxButton(this, kOkButton, _("Ok"));
    m_cancel = new wxButton(this, kCancelButton, _("Cancel"));
    m_ok->Hide();

    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    buttons->AddStretchSpacer(1);
    buttons->Add(m_ok, 0, wxRIGHT, 6);
    buttons->Add(m_cancel, 0);
    auto* layout = new wxBoxSizer(wxVERTICAL);
    layout->SetMinSize(wxSize(kTextWidth + 20, -1));
    layout->Add(m_first, 0, wxLEFT | wxRIGHT | wxTOP, 10);
    layout->Add(m_second, 0, wxLEFT | wxRIGHT | wxTOP, 10);
    layout->Add(m_gauge, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, 10);
    layout->Add(buttons, 0, wxEXPAND | wxALL, 10);
    SetSizerAndFit(layout);
    SetEscapeId(kCancelButton);

    m_pulse.SetOwner(this);
    Bind(wxEVT_TIMER, &CjxProgressDialog::OnPulse, this);
    Bind(EVT_UPDATE_RESULT, &CjxProgressDialog::OnResult, this);
    Bind(wxEVT_BUTTON, &CjxProgressDialog::OnCancel, this, kCancelButton);
    Bind(wxEVT_BUTTON, &CjxProgressDialog::OnOk, this, kOkButton);
    Bind(wxEVT_CLOSE_WINDOW, &CjxProgressDialog::OnClose, this);
}

CjxProgressDialog::~CjxProgressDialog() {
    m_pulse.Stop();
    if (m_channel) {
        m_channel->Close();
    }
}

bool CjxProgressDialog::Show(bool show) {
    if (show) {
        // The labels in the language of now (it may have changed since the last time).
        m_ok->SetLabel(_("Ok"));
        m_cancel->SetLabel(_("Cancel"));
        if (m_mayStart) {
            StartCheck();
        } else if (m_state == kNewer || m_state == kLatest) {
            ShowResult(m_result, m_version);
        }
    }
    return wxDialog::Show(show);
}

void CjxProgressDialog::StartCheck() {
    static long s_nextId = 0;
    m_mayStart = false;
    m_state = kChecking;
    m_ok->Hide();
    m_gauge->Show();
    m_gauge->Pulse();
    SetTexts(_("Checking for updates..."), wxEmptyString);
    m_pulse.Start(100);

    // Everything the worker reads is copied here, on the user-interface thread.
    auto* task = new UpdateTask;
    task->url = Utf8(DomainSettings::GetNamed("url:update"));
    if (const DomainConfig* config = DomainConfig::GetInstance()) {
        task->proxy = config->GetProxy();
    }
    task->product = Utf8(AppUtil::GetDisplayName());
    task->running = Utf8(AppUtil::GetVersion());
    task->limits = m_limits;
    task->id = ++s_nextId;
    task->channel = std::make_shared<EventChannel>(this);
    m_channel = task->channel;
    m_checkId = task->id;
    if (!UpdateWorker::Start(task)) {
        ShowResult(UpdateStatus::kNoNetwork, wxEmptyString);
    }
}

void CjxProgressDialog::Dismiss() {
    if (m_state == kChecking) {
        m_channel->Close();
        m_channel.reset();
        m_pulse.Stop();
        m_state = kIdle;
        m_mayStart = true;
    }
    Hide();
}

void CjxProgressDialog::SetTexts(const wxString& first, const wxString& second) {
    // Wrapped here rather than by the toolkit, which breaks lines at blanks only: Chinese and
    // Japanese texts have none.
    m_first->SetLabel(TextWrap::Wrap(*m_first, first, kTextWidth));
    m_second->SetLabel(TextWrap::Wrap(*m_second, second, kTextWidth));
    m_second->Show(!second.empty());
    Layout();
    Fit();
}

void CjxProgressDialog::ShowResult(UpdateStatus status, const wxString& version) {
    m_result = status;
    m_version = version;
    m_pulse.Stop();
    m_channel.reset();
    const wxString name = AppUtil::GetDisplayName();
    m_gauge->SetValue(0);
    m_gauge->Hide();
    switch (status) {
    case UpdateStatus::kNewer:
        m_state = kNewer;
        m_ok->Show();
        // TRANSLATORS: the product's name and the version found. "Ok" in the next text is
        // the button's label.
        SetTexts(wxString::Format(_("A new version of %s (%s) is available."), name, version),
                 _("Click Ok to open download page."));
        break;
    case UpdateStatus::kLatest:
        m_state = kLatest;
        // TRANSLATORS: the first line of "This version of %s (%s) / is the latest version.":
        // the product's name and the running version.
        SetTexts(wxString::Format(_("This version of %s (%s)"), name, AppUtil::GetVersion()),
                 // TRANSLATORS: the second line, completing "This version of %s (%s)".
                 _("is the latest version."));
        break;
    default:
        m_state = kFailed;
        m_mayStart = true;
        SetTexts(FailureText(status), wxEmptyString);
        break;
    }
}

void CjxProgressDialog::OnResult(wxThreadEvent& event) {
    if (m_state != kChecking || event.GetExtraLong() != m_checkId) {
        return; // a check given up on
    }
    ShowResult(static_cast<UpdateStatus>(event.GetInt()), event.GetString());
}

void CjxProgressDialog::OnCancel(wxCommandEvent&) {
    Dismiss();
}

void CjxProgressDialog::OnOk(wxCommandEvent&) {
    const wxString link = DomainSettings::GetNamed("url:product");
    if (!link.empty()) {
        wxLaunchDefaultBrowser(link, 0);
    }
    Hide();
}

void CjxProgressDialog::OnClose(wxCloseEvent& event) {
    Dismiss();
    if (event.CanVeto()) {
        event.Veto();
    }
}

void CjxProgressDialog::OnPulse(wxTimerEvent&) {
    m_gauge->Pulse();
}
