#pragma once

#include "pdf/image_source.h"

// A GIF image: its first frame on the logical screen, palette kept, the transparent colour
// as a colour-key mask. Pixels the data leaves out are transparent, as browsers show them.
class GifSource : public ImageSource {
public:
    explicit GifSource(const SourceData& data);

    void WriteImage(int page, const Sink& out, std::string* softMask) override;

private:
    int m_frameLeft = 0; // the frame as stored, before clipping to the screen
    int m_frameTop = 0;
    int m_frameWidth = 0;
    int m_frameHeight = 0;
    bool m_interlaced = false;
    bool m_emptyFrame = false;
    int m_colourCount = 0;
    int m_missingIndex = 0; // the index given to pixels the data leaves out
};
