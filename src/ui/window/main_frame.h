#pragma once

#include <wx/frame.h>
#include <wx/intl.h>

#include <memory>

// The application's top-level window. Creating it loads the page settings and sets up the
// interface language; closing it writes the settings and ends the process.
class MainFrame : public wxFrame {
public:
    MainFrame() = default;
    ~MainFrame() override;

    virtual bool Create(wxWindowID id, const wxString& title);

    // Replaces the locale by one for the language (a stored language number).
    void SetLanguage(int language);

private:
    void OnClose(wxCloseEvent& event);

    std::unique_ptr<wxLocale> m_locale;
};
