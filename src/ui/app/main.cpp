#include "app/main_app.h"
#include "common/platform.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

int main(int argc, char** argv) {
#ifdef __GLIBC__
    // The PDF service takes and frees buffers of megabytes, image after image: keep them
    // rather than return them to the system and fault them in again for the next image.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
#endif
    Platform::UseUtf8Locale();
    wxApp::SetInstance(new MainApp);
    return wxEntry(argc, argv);
}
