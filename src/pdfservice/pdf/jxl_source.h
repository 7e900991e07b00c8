#pragma once

#include "pdf/image_source.h"

#include <memory>

// A JPEG XL image (libjxl). A file that carries the data to rebuild the JPEG it was made from
// gives that JPEG's bytes, embedded as a JPEG file is; any other is decoded (its first frame,
// upright) and stored losslessly: deeper samples as 16-bit ones, alpha as a soft mask, its
// colour profile kept.
class JxlSource : public ImageSource {
public:
    explicit JxlSource(const SourceData& data);
    ~JxlSource() override;

    void WriteImage(int page, const Sink& out, std::string* softMask) override;

    // What the page is laid out from.
    struct Info {
        int width = 0; // upright
        int height = 0;
        int colours = 0;
        bool alpha = false;
        int bits = 8; // 8 or 16 as stored
        bool jpeg = false;
        bool lossy = false; // of lossy (XYB) coding
        bool operator==(const Info&) const = default;
    };

private:
    Info m_info;
};
