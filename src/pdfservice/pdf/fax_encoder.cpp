#include "pdf/fax_encoder.h"

#include "pdf/pdf_error.h"
#include "pdf/tiff_file.h"

#include <cstring>
#include <tiffio.h>

FaxEncoder::FaxEncoder(uint32_t width, uint32_t height)
    : m_file(std::make_unique<TiffFile>()), m_row((size_t(width) + 7) / 8), m_height(height) {
    // libtiff's encoder writes a one-strip TIFF into memory; the strip is the fax data.
    TIFF* tif = m_file->Get();
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tif, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, height);
}

FaxEncoder::~FaxEncoder() = default;

void FaxEncoder::Fail() const {
    throw PdfError(PDF_ERROR_INTERNAL,
                   "fax encoding failed" +
                       (m_file->Error().empty() ? std::string() : ": " + m_file->Error()));
}

void FaxEncoder::WriteRow(const unsigned char* row) {
    // libtiff may change the row it is given.
    std::memcpy(m_row.data(), row, m_row.size());
    if (m_done >= m_height || TIFFWriteScanline(m_file->Get(), m_row.data(), m_done, 0) != 1) {
        Fail();
    }
    ++m_done;
}

std::string FaxEncoder::Finish() {
    TIFF* tif = m_file->Get();
    if (m_done != m_height || TIFFWriteDirectory(tif) != 1 || TIFFSetDirectory(tif, 0) != 1) {
        Fail();
    }
    uint64_t* offsets = nullptr;
    uint64_t* counts = nullptr;
    const std::vector<unsigned char>& written = m_file->Written();
    if (!TIFFGetField(tif, TIFFTAG_STRIPOFFSETS, &offsets) ||
        !TIFFGetField(tif, TIFFTAG_STRIPBYTECOUNTS, &counts) || offsets == nullptr ||
        counts == nullptr || offsets[0] > written.size() ||
        counts[0] > written.size() - offsets[0]) {
        Fail();
    }
    return std::string(reinterpret_cast<const char*>(written.data() + offsets[0]), counts[0]);
}
