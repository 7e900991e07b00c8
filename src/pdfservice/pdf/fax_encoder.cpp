#include "pdf/fax_encoder.h"

#include "pdf/pdf_error.h"
#include "pdf/tiff_file.h"

#include <cstring>
#include <tiffio.h>
#include <vector>

std::string FaxEncoder::EncodeGroup4(const unsigned char* bits, uint32_t width, uint32_t height) {
    // libtiff's encoder writes a one-strip TIFF into memory; the strip is the fax data.
    TiffFile file;
    TIFF* tif = file.Get();
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tif, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, height);
    const size_t rowBytes = (size_t(width) + 7) / 8;
    std::vector<unsigned char> row(rowBytes);
    bool ok = true;
    for (uint32_t y = 0; y < height && ok; ++y) {
        std::memcpy(row.data(), bits + y * rowBytes, rowBytes);
        ok = TIFFWriteScanline(tif, row.data(), y, 0) == 1;
    }
    ok = ok && TIFFWriteDirectory(tif) == 1 && TIFFSetDirectory(tif, 0) == 1;
    uint64_t* offsets = nullptr;
    uint64_t* counts = nullptr;
    const std::vector<unsigned char>& written = file.Written();
    if (!ok || !TIFFGetField(tif, TIFFTAG_STRIPOFFSETS, &offsets) ||
        !TIFFGetField(tif, TIFFTAG_STRIPBYTECOUNTS, &counts) || offsets == nullptr ||
        counts == nullptr || offsets[0] > written.size() ||
        counts[0] > written.size() - offsets[0]) {
        throw PdfError(PDF_ERROR_INTERNAL,
                       "fax encoding failed" +
                           (file.Error().empty() ? std::string() : ": " + file.Error()));
    }
    return std::string(reinterpret_cast<const char*>(written.data() + offsets[0]), counts[0]);
}
