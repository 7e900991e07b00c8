// Developer tool: drives the PDF service directly.
//   pdf-driver [--page-type NAME] [--size WxH] [--margins T,B,L,R] [--each] OUTPUT INPUT...
// Merges the inputs into OUTPUT, or with --each writes OUTPUT/<n>.pdf per input.
#include "pdf/pdf_service.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace fs = std::filesystem;

int main(int argc, char** argv) {
#ifdef __GLIBC__
    // The PDF service takes and frees buffers of megabytes, image after image: keep them
    // rather than return them to the system and fault them in again for the next image.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
#endif
    PdfPageOptions options{};
    options.pageType = "A4";
    options.left = options.right = options.top = options.bottom = 10;
    bool each = false;
    int i = 1;
    for (; i < argc && argv[i][0] == '-'; ++i) {
        const std::string arg = argv[i];
        if (arg == "--page-type" && i + 1 < argc) {
            options.pageType = argv[++i];
        } else if (arg == "--size" && i + 1 < argc) {
            options.pageType = nullptr;
            std::sscanf(argv[++i], "%fx%f", &options.width, &options.height);
        } else if (arg == "--margins" && i + 1 < argc) {
            std::sscanf(argv[++i], "%f,%f,%f,%f", &options.top, &options.bottom, &options.left,
                        &options.right);
        } else if (arg == "--each") {
            each = true;
        } else {
            std::fprintf(stderr, "unknown option %s\n", arg.c_str());
            return 2;
        }
    }
    if (argc - i < 2) {
        std::fprintf(stderr, "usage: pdf-driver [options] OUTPUT INPUT...\n");
        return 2;
    }
    const fs::path output = argv[i++];
    // The service writes beside the output, so that the result is renamed into place.
    const fs::path temp = fs::absolute(each                           ? output
                                       : output.parent_path().empty() ? fs::path(".")
                                                                      : output.parent_path());
    int failures = 0;
    auto run = [&](const std::vector<const char*>& inputs, const fs::path& target) {
        Pdf3Service* service = CreatePdf3Service("");
        for (const char* input : inputs) {
            service->AppendSource(service, input);
        }
        PdfResult* result = service->CreatePdf(service, &options, target.parent_path().c_str(),
                                               temp.c_str(), nullptr, 0);
        if (result->errorCode != 0) {
            std::fprintf(stderr, "%s: error %d: %s\n", target.c_str(), result->errorCode,
                         result->reason);
            ++failures;
        } else {
            std::error_code error;
            fs::rename(result->path, target, error);
            if (error) {
                fs::copy_file(result->path, target, fs::copy_options::overwrite_existing);
                fs::remove(result->path);
            }
        }
        FreePdf3Service(service);
    };
    if (each) {
        fs::create_directories(output);
        for (int n = 0; i < argc; ++i, ++n) {
            run({argv[i]}, output / (std::to_string(n) + ".pdf"));
        }
    } else {
        std::vector<const char*> inputs(argv + i, argv + argc);
        run(inputs, output);
    }
    return failures == 0 ? 0 : 1;
}
