#pragma once

#include "pdf/flate_row_encoder.h"

#include <memory>
#include <string>
#include <vector>

// The Flate data of a decoded image: its colour rows go to a sink and, when the image has an
// alpha channel and its soft mask's data is asked for, its alpha rows to the mask's data.
// Readers fill the row buffers (or hand over colour rows of their own), then write the row.
class ImageEncoder {
public:
    using Sink = FlateRowEncoder::Sink;

    // `colourBits` 0: the colour data is written elsewhere (copied as it is) and only alpha
    // rows are encoded. `alphaBits` 0: no alpha channel; `softMask` null: alpha not wanted.
    // `fast`: the quicker compression (see FlateRowEncoder).
    ImageEncoder(const Sink& out, std::string* softMask, int width, int height, int colours,
                 int colourBits, int alphaBits, bool fast = false);

    unsigned char* ColourRow() { return m_colourRow.data(); }
    // Null when no alpha is written.
    unsigned char* AlphaRow() { return m_alpha ? m_alphaRow.data() : nullptr; }

    // Writes the row buffers.
    void WriteRow() { WriteRow(m_colourRow.data()); }
    // Writes `colour` as the colour row and the alpha row buffer.
    void WriteRow(const unsigned char* colour);
    // Ends the data.
    void Finish();

private:
    std::unique_ptr<FlateRowEncoder> m_colour;
    std::unique_ptr<FlateRowEncoder> m_alpha;
    std::vector<unsigned char> m_colourRow;
    std::vector<unsigned char> m_alphaRow;
};
