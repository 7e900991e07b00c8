#include "app/main_app.h"

#include "app/app_util.h"
#include "common/face_reader.h"
#include "common/platform.h"
#include "common/temp_folder.h"
#include "domain/domain_config.h"
#include "domain/domain_option.h"
#include "window/main_frame_zuzur2aze.h"

#include <wx/filename.h>
#include <wx/filesys.h>
#include <wx/fs_arc.h>
#include <wx/image.h>
#include <wx/log.h>
#include <wx/msgdlg.h>

#include <csignal>

wxIMPLEMENT_APP_NO_MAIN(MainApp);

bool MainApp::OnInit() {
    // The toolkit is up: messages go to the desktop's default target again.
    delete wxLog::SetActiveTarget(nullptr);
    // The toolkit's own initialisation may have reset the character type locale.
    Platform::UseUtf8Locale();
#ifdef __UNIX__
    // A termination request (log-out, kill) closes the window as its close button does, so
    // the settings are written.
    SetSignalHandler(SIGTERM, [](int) {
        if (wxWindow* top = wxGetApp().GetTopWindow()) {
            top->Close(true);
        } else {
            wxGetApp().ExitMainLoop();
        }
    });
#endif

    DomainConfig::SetInstance(new DomainConfig(AppUtil::GetConfigPath()));
    // Job folders that killed runs left behind.
    TempFolder::RemoveStale();

    DomainOption option;
    if (!option.Load()) {
        // TRANSLATORS: %s is the path of the installation's link file.
        AddStartupProblem(wxTRANSLATE("The link file \"%s\" is missing or damaged. The help, "
                                      "support and update links are not available."),
                          AppUtil::GetOptionPath());
    }

    wxFileSystem::AddHandler(new wxArchiveFSHandler);
    wxInitAllImageHandlers();
    if (LoadFace(AppUtil::GetFacePath()) != 0) {
        // The windows keep the default theme's layout.
        LoadFaceText(GetBuiltInFace());
        // TRANSLATORS: %s is the path of the theme's face file.
        AddStartupProblem(wxTRANSLATE("The theme file \"%s\" is missing or cannot be read. The "
                                      "default theme's layout is used."),
                          AppUtil::GetFacePath());
    }

    auto* frame = new MainFrameZUZUR2AZE;
    if (!frame->Create(2000, AppUtil::GetDisplayName())) {
        delete frame;
        Shutdown();
        return false;
    }
    SetTopWindow(frame);
    frame->Show(true);

    CallAfter(&MainApp::ShowStartupProblems);
    // Files and folders on the command line, as a file manager's "Open with" passes them.
    wxArrayString paths;
    for (int i = 1; i < argc; ++i) {
        wxFileName name(argv[i]);
        name.MakeAbsolute();
        paths.Add(name.GetFullPath());
    }
    frame->CallAfter([frame, paths] { frame->OpenPaths(paths); });
    return true;
}

int MainApp::OnExit() {
    Shutdown();
    return 0;
}

void MainApp::Shutdown() {
    if (DomainConfig* config = DomainConfig::GetInstance()) {
        DomainConfig::SetInstance(nullptr);
        delete config;
    }
}

void MainApp::AddStartupProblem(const char* format, const wxString& path) {
    m_startupProblems.push_back({format, path});
}

void MainApp::ShowStartupProblems() {
    for (const StartupProblem& problem : m_startupProblems) {
        wxMessageBox(wxString::Format(wxGetTranslation(problem.format), problem.path),
                     AppUtil::GetDisplayName(), wxOK | wxICON_INFORMATION, GetTopWindow());
    }
    m_startupProblems.clear();
}
