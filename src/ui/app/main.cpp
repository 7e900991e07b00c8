#include "app/app_util.h"
#include "app/main_app.h"
#include "common/platform.h"

#include <wx/log.h>

#include <cstdio>
#include <cstring>
#ifdef __GLIBC__
#include <malloc.h>
#endif

int main(int argc, char** argv) {
    // Answered before the toolkit starts, so that they need no display.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s %s\n", static_cast<const char*>(AppUtil::GetDisplayName().utf8_str()),
                    static_cast<const char*>(AppUtil::GetVersion().utf8_str()));
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::printf("Usage: ombrix-image-to-pdf [FILE|FOLDER]...\n"
                    "Open the converter's window with the images named (a folder: the images "
                    "directly inside it)\nin its file list.\n\n"
                    "      --help     show this help\n"
                    "      --version  show the version\n");
        return 0;
    }
#ifdef __GLIBC__
    // The PDF service takes and frees buffers of megabytes, image after image: keep them
    // rather than return them to the system and fault them in again for the next image.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
#endif
    Platform::UseUtf8Locale();
    // Until the toolkit is up, its messages ("Unable to initialize GTK+...") go to the standard
    // error: shown in a message box, they would need the display that is missing.
    wxLog::SetActiveTarget(new wxLogStderr);
    wxApp::SetInstance(new MainApp);
    // The toolkit gives -1 when it cannot start (no display): status 1, not 255.
    const int status = wxEntry(argc, argv);
    return status < 0 ? 1 : status;
}
