#include "pdf/fax_encoder.h"

#include "pdf/pdf_error.h"

#include <algorithm>
#include <cstring>
#include <tiffio.h>
#include <vector>

namespace {
// A TIFF file in memory, for libtiff to write into.
struct MemoryFile {
    std::string data;
    uint64_t position = 0;
};

tmsize_t MemoryRead(thandle_t handle, void* buffer, tmsize_t size) {
    auto* file = static_cast<MemoryFile*>(handle);
    const uint64_t available =
        file->position < file->data.size() ? file->data.size() - file->position : 0;
    const size_t n =
        static_cast<size_t>(std::min<uint64_t>(static_cast<uint64_t>(size), available));
    std::memcpy(buffer, file->data.data() + file->position, n);
    file->position += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t MemoryWrite(thandle_t handle, void* buffer, tmsize_t size) {
    auto* file = static_cast<MemoryFile*>(handle);
    const size_t n = static_cast<size_t>(size);
    if (file->position + n > file->data.size()) {
        file->data.resize(file->position + n);
    }
    std::memcpy(file->data.data() + file->position, buffer, n);
    file->position += n;
    return size;
}

toff_t MemorySeek(thandle_t handle, toff_t offset, int whence) {
    auto* file = static_cast<MemoryFile*>(handle);
    switch (whence) {
    case SEEK_SET:
        file->position = offset;
        break;
    case SEEK_CUR:
        file->position += offset;
        break;
    case SEEK_END:
        file->position = file->data.size() + offset;
        break;
    default:
        return static_cast<toff_t>(-1);
    }
    return file->position;
}

int MemoryClose(thandle_t) {
    return 0;
}

toff_t MemorySize(thandle_t handle) {
    return static_cast<MemoryFile*>(handle)->data.size();
}

int MemoryMap(thandle_t, void**, toff_t*) {
    return 0;
}

void MemoryUnmap(thandle_t, void*, toff_t) {}

int Quiet(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}
} // namespace

std::string FaxEncoder::EncodeGroup4(const unsigned char* bits, uint32_t width, uint32_t height) {
    MemoryFile file;
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, Quiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, Quiet, nullptr);
    TIFF* tif = TIFFClientOpenExt("fax", "w", &file, MemoryRead, MemoryWrite, MemorySeek,
                                  MemoryClose, MemorySize, MemoryMap, MemoryUnmap, options);
    TIFFOpenOptionsFree(options);
    if (tif == nullptr) {
        throw PdfError(PDF_ERROR_INTERNAL, "cannot start the fax encoder");
    }
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
    ok = ok && TIFFWriteDirectory(tif) == 1;
    uint64_t* offsets = nullptr;
    uint64_t* counts = nullptr;
    std::string coded;
    if (ok && TIFFSetDirectory(tif, 0) && TIFFGetField(tif, TIFFTAG_STRIPOFFSETS, &offsets) &&
        TIFFGetField(tif, TIFFTAG_STRIPBYTECOUNTS, &counts) && offsets != nullptr &&
        counts != nullptr && offsets[0] + counts[0] <= file.data.size()) {
        coded = file.data.substr(offsets[0], counts[0]);
    } else {
        ok = false;
    }
    TIFFClose(tif);
    if (!ok) {
        throw PdfError(PDF_ERROR_INTERNAL, "fax encoding failed");
    }
    return coded;
}
