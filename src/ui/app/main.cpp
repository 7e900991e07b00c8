#include "app/main_app.h"
#include "common/platform.h"

int main(int argc, char** argv) {
    Platform::UseUtf8Locale();
    wxApp::SetInstance(new MainApp);
    return wxEntry(argc, argv);
}
