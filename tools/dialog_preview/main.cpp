// Developer tool: shows one of the application's dialogs on the staged installation, to look
// at (take a screenshot with scripts/screenshot.sh).
//   build/tools/dialog-preview preference [page]   page 0: proxy (the default), 1: page settings
//   build/tools/dialog-preview update [URL]        checks the update description at URL
//   build/tools/dialog-preview about
// It reads and writes the user files of $HOME like the application, and speaks the language
// of its language.txt: point HOME at a temporary folder.
#include "app/app_util.h"
#include "app/language_file.h"
#include "common/face_reader.h"
#include "dialog/about_dialog.h"
#include "dialog/cjx_progress_dialog.h"
#include "dialog/preference_dialog.h"
#include "domain/domain_config.h"
#include "domain/domain_option.h"
#include "domain/domain_page.h"
#include "domain/domain_settings.h"

#include <wx/app.h>
#include <wx/filesys.h>
#include <wx/fs_arc.h>
#include <wx/image.h>
#include <wx/intl.h>
#include <wx/notebook.h>

#include <memory>

class PreviewApp : public wxApp {
public:
    bool OnInit() override {
        AppUtil::SetExecutablePath(wxString(OMBRIX_STAGE_DIR) + "/bin/dialog-preview");
        wxFileSystem::AddHandler(new wxArchiveFSHandler);
        wxInitAllImageHandlers();
        LoadFace(AppUtil::GetFacePath());
        DomainConfig::SetInstance(new DomainConfig(AppUtil::GetConfigPath()));
        DomainOption().Load();
        DomainPage().Load();
        locale = LanguageFile::CreateLocale(LanguageFile::ReadLanguage());

        const wxString which = argc > 1 ? argv[1] : wxString("about");
        const wxString extra = argc > 2 ? argv[2] : wxString();
        if (which == "preference") {
            PreferenceDialog* dialog = PreferenceDialog::Build(nullptr);
            dialog->GetNotebook()->SetSelection(extra == "1" ? 1 : 0);
            dialog->Show();
            return true;
        }
        if (which == "update") {
            if (!extra.empty()) {
                DomainSettings::SetNamed("url:update", extra);
            }
            auto* dialog = new CjxProgressDialog(nullptr, _("Check for Update"));
            dialog->Centre(wxBOTH);
            dialog->Show();
            return true;
        }
        AboutDialog::Open();
        return false;
    }
    int OnExit() override {
        delete DomainConfig::GetInstance();
        DomainConfig::SetInstance(nullptr);
        return 0;
    }

private:
    std::unique_ptr<wxLocale> locale;
};

wxIMPLEMENT_APP(PreviewApp);
