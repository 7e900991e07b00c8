#include "pdf/image_encoder.h"

ImageEncoder::ImageEncoder(const Sink& out, std::string* softMask, int width, int height,
                           int colours, int colourBits, int alphaBits, bool fast) {
    if (colourBits > 0) {
        m_colour = std::make_unique<FlateRowEncoder>(out, width, height, colours, colourBits, fast);
        m_colourRow.resize(m_colour->RowBytes());
    }
    if (alphaBits > 0 && softMask != nullptr) {
        softMask->clear();
        m_alpha = FlateRowEncoder::AppendingTo(softMask, width, height, 1, alphaBits, fast);
        m_alphaRow.resize(m_alpha->RowBytes());
    }
}

void ImageEncoder::WriteRow(const unsigned char* colour) {
    if (m_colour) {
        m_colour->WriteRow(colour);
    }
    if (m_alpha) {
        m_alpha->WriteRow(m_alphaRow.data());
    }
}

void ImageEncoder::Finish() {
    if (m_colour) {
        m_colour->Finish();
    }
    if (m_alpha) {
        m_alpha->Finish();
    }
}
