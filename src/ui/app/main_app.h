#pragma once

#include <wx/app.h>
#include <wx/string.h>

#include <vector>

// The application object: start-up creates the settings object, loads the links and the
// theme support and shows the main window; shutdown writes the settings file back.
class MainApp : public wxApp {
public:
    bool OnInit() override;
    int OnExit() override;

    // Deletes the settings object, which writes the settings file. Safe to call twice.
    void Shutdown();

    // Queues a message box about a damaged installation file. `format` is an untranslated
    // text with one "%s" for the path; the boxes are shown once the main window has set up
    // the interface language.
    void AddStartupProblem(const char* format, const wxString& path);
    void ShowStartupProblems();

private:
    struct StartupProblem {
        const char* format;
        wxString path;
    };
    std::vector<StartupProblem> m_startupProblems;
};

wxDECLARE_APP(MainApp);
