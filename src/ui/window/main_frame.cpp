#include "window/main_frame.h"

#include "app/app_util.h"
#include "app/language_file.h"
#include "app/main_app.h"
#include "domain/domain_page.h"

#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include <cstdio>
#include <cstdlib>

MainFrame::~MainFrame() = default;

bool MainFrame::Create(wxWindowID id, const wxString& title) {
    DomainPage page;
    if (!page.Load()) {
        // TRANSLATORS: %s is the path of the installation's default page settings file.
        wxGetApp().AddStartupProblem(
            wxTRANSLATE("The page settings file \"%s\" is missing or damaged. Built-in page "
                        "settings are used."),
            AppUtil::GetPagePath(false));
    }
    SetLanguage(LanguageFile::ReadLanguage());

    if (!wxFrame::Create(nullptr, id, title, wxDefaultPosition, wxSize(900, 620))) {
        return false;
    }
    auto* panel = new wxPanel(this);
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    auto* caption = new wxStaticText(panel, wxID_ANY, title + " " + AppUtil::GetVersion());
    sizer->AddStretchSpacer();
    sizer->Add(caption, 0, wxALIGN_CENTER);
    sizer->AddStretchSpacer();
    panel->SetSizer(sizer);
    Bind(wxEVT_CLOSE_WINDOW, &MainFrame::OnClose, this);
    Centre();
    return true;
}

void MainFrame::SetLanguage(int language) {
    m_locale.reset();
    m_locale = LanguageFile::CreateLocale(language);
}

void MainFrame::OnClose(wxCloseEvent&) {
    // Write the settings, then end at once: detached workers are abandoned, not waited for.
    wxGetApp().Shutdown();
    std::fflush(nullptr);
    std::_Exit(0);
}
