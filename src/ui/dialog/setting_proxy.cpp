#include "dialog/setting_proxy.h"

#include "app/app_util.h"
#include "dialog/setting_code.h"
#include "domain/domain_config.h"
#include "domain/update_fetcher.h"

#include <wx/choice.h>
#include <wx/gbsizer.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

namespace {

bool Refuse(const wxString& message) {
    wxMessageBox(message, AppUtil::GetDisplayName(), wxOK | wxCENTRE);
    return false;
}
} // namespace

bool SettingProxy::Create(wxWindow* parent, wxWindowID id, const wxPoint& position,
                          const wxSize& size, long style, const wxString& name) {
    if (!wxPanel::Create(parent, id, position, size, style, name)) {
        return false;
    }
    const ProxyRecord proxy = DomainConfig::GetInstance() != nullptr
                                  ? DomainConfig::GetInstance()->GetProxy()
                                  : ProxyRecord{};
    const wxString types[] = {"HTTP"};
    m_type = new wxChoice(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, 1, types, 0,
                          wxDefaultValidator, "type");
    m_type->SetSelection(0);
    auto makeField = [this](const wxString& value, const char* fieldName, long fieldStyle = 0) {
        return new wxTextCtrl(this, wxID_ANY, value, wxDefaultPosition, wxDefaultSize, fieldStyle,
                              wxDefaultValidator, fieldName);
    };
    m_address = makeField(proxy.address, "address");
    m_port = makeField(proxy.port, "port");
    // The stored user name and password come back, so that saving again keeps them.
    m_user = makeField(proxy.user, "user");
    m_password = makeField(proxy.password, "password", wxTE_PASSWORD);

    auto* grid = new wxGridBagSizer(4, 4);
    const std::pair<wxString, wxWindow*> rows[] = {
        {_("Proxy type:"), m_type}, {_("Proxy Address:"), m_address}, {_("Proxy Port:"), m_port},
        {_("User Name:"), m_user},  {_("Password:"), m_password},
    };
    int row = 0;
    for (const auto& [label, control] : rows) {
        grid->Add(new wxStaticText(this, wxID_ANY, label), wxGBPosition(row, 0), wxDefaultSpan,
                  wxLEFT | wxRIGHT | wxALIGN_CENTER_VERTICAL, 10);
        grid->Add(control, wxGBPosition(row, 1), wxDefaultSpan,
                  wxLEFT | wxRIGHT | wxEXPAND | wxALIGN_CENTER_VERTICAL, 10);
        ++row;
    }
    grid->AddGrowableCol(1);
    auto* page = new wxBoxSizer(wxVERTICAL);
    page->AddSpacer(10);
    page->Add(grid, 0, wxEXPAND | wxTOP, 10);
    SetSizer(page);
    return true;
}

void SettingProxy::OnSubjectChanged(CjxSubject* subject, void* argument) {
    AnswerSettingCode(*this, subject, argument);
}

bool SettingProxy::Save() {
    ProxyRecord proxy;
    proxy.type = m_type->GetStringSelection();
    proxy.address = m_address->GetValue();
    proxy.port = m_port->GetValue();
    proxy.user = m_user->GetValue();
    proxy.password = m_password->GetValue();

    if (!proxy.address.empty() || !proxy.port.empty()) {
        if (proxy.address.find_first_of(" \t") != wxString::npos) {
            return Refuse(_("The proxy address must not contain spaces."));
        }
        if (proxy.address.empty()) {
            return Refuse(_("Please enter the proxy address."));
        }
        if (!UpdateFetcher::IsValidPort(std::string(proxy.port.utf8_str()))) {
            return Refuse(_("The proxy port must be a number from 1 to 65535."));
        }
        std::string url;
        if (!UpdateFetcher::ProxyUrl(proxy, url)) {
            return Refuse(_("The proxy address is not valid."));
        }
    }
    if (DomainConfig* config = DomainConfig::GetInstance()) {
        config->SetProxy(proxy);
    }
    return true;
}

void SettingProxy::Reset() {
    for (wxTextCtrl* field : {m_address, m_port, m_user, m_password}) {
        field->Clear();
    }
    Refresh(false);
}
