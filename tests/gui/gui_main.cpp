// GUI tests run inside the application object, without its start-up, so that windows see
// the same application they see in the product.
#include "app/main_app.h"
#include "common/platform.h"

#include <gtest/gtest.h>

namespace {
class GuiTestApp : public MainApp {
public:
    bool OnInit() override { return true; }
    int OnRun() override { return RUN_ALL_TESTS(); }
    int OnExit() override { return 0; }
};
} // namespace

int main(int argc, char** argv)
{
    Platform::UseUtf8Locale();
    testing::InitGoogleTest(&argc, argv);
    wxApp::SetInstance(new GuiTestApp);
    return wxEntry(argc, argv);
}
