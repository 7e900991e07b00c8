// Developer tool: shows the theme gallery (every themed control in every state).
//   build/tools/theme-gallery        (take a screenshot with scripts/screenshot.sh)
#include "app/app_util.h"
#include "common/face_reader.h"
#include "theme_gallery.h"

#include <wx/app.h>
#include <wx/filesys.h>
#include <wx/fs_arc.h>
#include <wx/image.h>

class GalleryApp : public wxApp {
public:
    bool OnInit() override {
        // The staged installation beside the build's tools folder.
        AppUtil::SetExecutablePath(wxString(OMBRIX_STAGE_DIR) + "/bin/theme-gallery");
        wxFileSystem::AddHandler(new wxArchiveFSHandler);
        wxInitAllImageHandlers();
        LoadFace(AppUtil::GetFacePath());
        (new ThemeGallery)->Show();
        return true;
    }
};

wxIMPLEMENT_APP(GalleryApp);
