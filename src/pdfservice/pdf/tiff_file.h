#pragma once

#include "pdf/source_data.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct tiff;

// A TIFF file that libtiff reads or writes through client procedures, closed with the object:
// an image source read page by page, or a file in memory that libtiff's encoders write into.
// What the procedures throw is caught inside them and becomes a libtiff failure, so that no
// exception crosses libtiff's C frames; libtiff's first error message is kept as the reason.
class TiffFile {
public:
    // Opens a source for reading. Throws PdfError when libtiff cannot read its header.
    explicit TiffFile(const SourceData& data);
    // Creates an empty file in memory for writing.
    TiffFile();
    ~TiffFile();
    TiffFile(const TiffFile&) = delete;
    TiffFile& operator=(const TiffFile&) = delete;

    struct tiff* Get() const {
        return m_tiff;
    }
    // Reads the next directory of the chain, or the one at `offset`; false when there is none
    // or it cannot be read. Tags of more data than a directory needs are left out (as when the
    // file is opened).
    bool ReadDirectory();
    bool SetDirectory(uint64_t offset);
    // The first error and the first warning (of data that is damaged or missing, not of the
    // file's form) that libtiff reported since the file was opened or the last ClearError.
    const std::string& Error() const;
    const std::string& Warning() const;
    void ClearError();
    // The size of the source being read.
    uint64_t SourceSize() const;
    // The bytes libtiff has written.
    const std::vector<unsigned char>& Written() const;

    // Throws PdfError: a broken TIFF, for libtiff's reason or else `what`.
    [[noreturn]] void Fail(const std::string& what) const;

private:
    void Open(const char* name, const char* mode);

    std::unique_ptr<class TiffClient> m_client;
    struct tiff* m_tiff = nullptr;
};
