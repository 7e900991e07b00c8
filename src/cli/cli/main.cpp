// ombrix-convert: the command-line converter.
#include "cli/convert_command.h"
#include "common/platform.h"

#include <wx/init.h>

#include <cstdio>
#include <string>
#include <vector>
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
    wxInitializer initializer;
    if (!initializer.IsOk()) {
        std::fprintf(stderr, "ombrix-convert: cannot initialise\n");
        return 2;
    }
    std::vector<std::string> arguments(argv + 1, argv + argc);
    return ConvertCommand().Run(arguments);
}
