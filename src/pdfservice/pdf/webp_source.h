#pragma once

#include "pdf/image_source.h"

// A WebP image, lossy or lossless (libwebp): decoded and stored losslessly, alpha as a soft
// mask, its ICC profile kept. An animated one gives its first frame on its canvas, as a GIF
// does.
class WebpSource : public ImageSource {
public:
    explicit WebpSource(const SourceData& data);

    void WriteImage(int page, const Sink& out, std::string* softMask) override;

    // What the page is laid out from.
    struct Info {
        int width = 0; // of the canvas
        int height = 0;
        bool alpha = false;
        bool animated = false;
        bool lossy = false; // a still image of lossy coding
        std::string icc;
        int orientation = 1; // EXIF, 1 (upright) to 8
        bool operator==(const Info&) const = default;
    };

private:
    Info m_info;
};
