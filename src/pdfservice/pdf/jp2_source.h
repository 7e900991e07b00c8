#pragma once

#include "pdf/image_source.h"

// A JPEG 2000 image (a JP2/JPX file or a bare codestream, decoded by OpenJPEG). A JP2 file of
// 8-bit grey or RGB samples whose colour is sRGB, grey or an ICC profile, as every PDF reader
// shows it, is embedded as it is (/JPXDecode) once its codestream has decoded without fault;
// any other is decoded and stored losslessly (alpha as a soft mask, deeper samples as 16-bit
// ones; sYCC colour, its chroma possibly subsampled, turned into RGB). `passThrough` false
// decodes every file (for documents older than PDF 1.5).
class Jp2Source : public ImageSource {
public:
    Jp2Source(const SourceData& data, bool passThrough);

    void WriteImage(int page, const Sink& out, std::string* softMask) override;

    // The decoded image as its header gives it.
    struct Info {
        int width = 0;
        int height = 0;
        int colours = 0; // 1, 3 or 4 (CMYK)
        bool alpha = false;
        int precision = 0; // bits of each sample as coded
        bool ycc = false;  // sYCC colour (Y, Cb, Cr), given as RGB
        bool operator==(const Info&) const = default;
    };

private:
    Info m_info;
    bool m_passThrough = false;
};
