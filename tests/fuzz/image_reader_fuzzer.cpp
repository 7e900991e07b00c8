// libFuzzer target over the image readers: any bytes are opened as an image source and every
// page's data is produced. A reader may refuse the input with a PdfError; nothing else may
// happen (no crash, no leak, no undefined behaviour, no hang).
#include "pdf/image_source.h"
#include "pdf/pdf_error.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        auto source = ImageSource::Open(
            SourceData::FromMemory(std::string(reinterpret_cast<const char*>(data), size), "fuzz"));
        for (int page = 0; page < source->PageCount() && page < 4; ++page) {
            std::string mask;
            size_t written = 0;
            source->WriteImage(
                page, [&written](const unsigned char*, size_t n) { written += n; },
                source->Layout(page).softMask ? &mask : nullptr);
        }
    } catch (const PdfError&) {
    }
    return 0;
}
