#pragma once

#include "pdf/image_source.h"

#include <cstdint>
#include <vector>

// A HEIF or AVIF image (libheif): its primary image decoded with its transformations
// (rotation, mirroring, cropping) and stored losslessly: deeper samples as 16-bit ones, alpha as
// a soft mask, its ICC profile kept or its colour description (nclx) turned into one. Other
// images of the file (thumbnails, a burst's other shots) are left out, unless `allImages`:
// then every top-level image is a page.
class HeifSource : public ImageSource {
public:
    HeifSource(const SourceData& data, bool allImages);

    void WriteImage(int page, const Sink& out, std::string* softMask) override;

private:
    std::vector<uint32_t> m_ids; // of each page's image
};
