// GUI tests run inside the application object, without its start-up, so that windows see
// the same application they see in the product.
#include "app/main_app.h"
#include "common/platform.h"

#include <gtest/gtest.h>
#include <wx/filesys.h>
#include <wx/fs_arc.h>
#include <wx/image.h>

namespace {
class GuiTestApp : public MainApp {
public:
    bool OnInit() override {
        wxFileSystem::AddHandler(new wxArchiveFSHandler);
        wxInitAllImageHandlers();
        return true;
    }
    int OnRun() override { return RUN_ALL_TESTS(); }
    // An assertion of the toolkit (an unexpected dialog among them) fails the test instead of
    // waiting for someone to answer a box.
    void OnAssertFailure(const wxChar* file, int line, const wxChar* function,
                         const wxChar* condition, const wxChar* message) override {
        ADD_FAILURE_AT(wxString(file).utf8_str(), line)
            << wxString(function) << ": " << wxString(condition) << " " << wxString(message);
    }
    int OnExit() override { return 0; }
};
} // namespace

int main(int argc, char** argv) {
    Platform::UseUtf8Locale();
    testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) {
        return RUN_ALL_TESTS(); // lists the cases: no toolkit, so no display, needed
    }
    wxApp::SetInstance(new GuiTestApp);
    return wxEntry(argc, argv);
}
