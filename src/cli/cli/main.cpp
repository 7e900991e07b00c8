// ombrix-convert: the command-line converter.
#include "cli/convert_command.h"
#include "common/platform.h"

#include <wx/init.h>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    Platform::UseUtf8Locale();
    wxInitializer initializer;
    if (!initializer.IsOk()) {
        std::fprintf(stderr, "ombrix-convert: cannot initialise\n");
        return 2;
    }
    std::vector<std::string> arguments(argv + 1, argv + argc);
    return ConvertCommand().Run(arguments);
}
