#pragma once

#include "pdf/image_source.h"

// A GIF image: its first frame on the logical screen, palette kept, the transparent colour
// as a colour-key mask. Data that ends before the frame's last row is an error, not a frame
// with transparent rows. The frame is clipped to the screen before anything is held, and rows are
// written as they are decoded (an interlaced frame holds the visible part).
class GifSource : public ImageSource {
public:
    explicit GifSource(const SourceData& data);

    void WriteImage(int page, const Sink& out, std::string* softMask) override;

    // What the file says before its first image's data, as the page is laid out from it.
    struct Frame {
        int screenWidth = 0;
        int screenHeight = 0;
        int left = 0; // the frame as stored, before clipping to the screen
        int top = 0;
        int width = 0;
        int height = 0;
        bool interlaced = false;
        int colourCount = 0;
        int transparentIndex = -1;
        bool operator==(const Frame&) const = default;
    };

private:
    Frame m_frame;
    bool m_emptyFrame = false;
};
