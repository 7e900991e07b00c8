#include "pdf/tiff_file.h"

#include "pdf/image_source.h"
#include "pdf/pdf_error.h"

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <tiffio.h>

// The file behind libtiff's client procedures: a source's bytes through its reader, or bytes
// in memory.
class TiffClient {
public:
    explicit TiffClient(const SourceData& data) : m_reader(std::in_place, data) {}
    TiffClient() = default;

    size_t Read(void* buffer, size_t size) {
        if (size > readCap) {
            return 0;
        }
        size_t n = 0;
        if (m_reader) {
            n = m_reader->ReadAt(m_position, buffer, size);
        } else if (m_position < m_memory.size()) {
            n = static_cast<size_t>(std::min<uint64_t>(size, m_memory.size() - m_position));
            std::memcpy(buffer, m_memory.data() + m_position, n);
        }
        m_position += n;
        return n;
    }

    bool Write(const void* buffer, size_t size) {
        if (m_reader) {
            return false;
        }
        if (m_position + size > m_memory.size()) {
            if (m_position + size > m_memory.capacity()) {
                m_memory.reserve(std::max<size_t>(m_position + size, 2 * m_memory.capacity()));
            }
            m_memory.resize(m_position + size);
        }
        std::memcpy(m_memory.data() + m_position, buffer, size);
        m_position += size;
        return true;
    }

    bool Seek(int64_t offset, int whence) {
        if (whence == SEEK_CUR) {
            offset += static_cast<int64_t>(m_position);
        } else if (whence == SEEK_END) {
            offset += static_cast<int64_t>(Size());
        } else if (whence != SEEK_SET) {
            return false;
        }
        if (offset < 0) {
            return false;
        }
        m_position = static_cast<uint64_t>(offset);
        return true;
    }

    uint64_t Position() const { return m_position; }
    uint64_t Size() const { return m_reader ? m_reader->Size() : m_memory.size(); }
    const std::vector<unsigned char>& Memory() const { return m_memory; }

    std::string error;
    std::string warning;
    // The largest read allowed (while a directory's tags are read).
    size_t readCap = SIZE_MAX;

private:
    std::optional<SourceData::Reader> m_reader;
    std::vector<unsigned char> m_memory;
    uint64_t m_position = 0;
};

namespace {
TiffClient* ClientOf(thandle_t handle) {
    return static_cast<TiffClient*>(handle);
}

// Runs a procedure's work; what it throws becomes libtiff's failure value.
template <typename Work, typename Result>
Result Guarded(thandle_t handle, Work work, Result failure) {
    TiffClient* client = ClientOf(handle);
    try {
        return work(*client);
    } catch (const std::exception& error) {
        if (client->error.empty()) {
            client->error = error.what();
        }
    } catch (...) {
        if (client->error.empty()) {
            client->error = "input or output failure";
        }
    }
    return failure;
}

tmsize_t ClientRead(thandle_t handle, void* buffer, tmsize_t size) {
    return Guarded(
        handle,
        [&](TiffClient& client) {
            return static_cast<tmsize_t>(client.Read(buffer, static_cast<size_t>(size)));
        },
        tmsize_t(-1));
}

tmsize_t ClientWrite(thandle_t handle, void* buffer, tmsize_t size) {
    return Guarded(
        handle,
        [&](TiffClient& client) {
            return client.Write(buffer, static_cast<size_t>(size)) ? size : tmsize_t(-1);
        },
        tmsize_t(-1));
}

toff_t ClientSeek(thandle_t handle, toff_t offset, int whence) {
    return Guarded(
        handle,
        [&](TiffClient& client) {
            return client.Seek(static_cast<int64_t>(offset), whence) ? client.Position()
                                                                     : static_cast<toff_t>(-1);
        },
        static_cast<toff_t>(-1));
}

int ClientClose(thandle_t) {
    return 0;
}

toff_t ClientSize(thandle_t handle) {
    return ClientOf(handle)->Size();
}

int ClientMap(thandle_t, void**, toff_t*) {
    return 0;
}

void ClientUnmap(thandle_t, void*, toff_t) {}

int OnError(TIFF*, void* user, const char* module, const char* format, va_list args) {
    TiffClient* client = ClientOf(user);
    if (client->error.empty()) {
        char message[512];
        std::vsnprintf(message, sizeof message, format, args);
        client->error = module != nullptr && *module ? std::string(module) + ": " + message
                                                     : std::string(message);
    }
    return 1;
}

// Warnings that tell about the file's form, not about data it lacks: old-style codings that
// libtiff still reads, subsampling values it corrects, markers of a JPEG strip that do not
// touch the image.
bool IsNotice(const char* message) {
    static const char* const kNotices[] = {
        "Deprecated and troublesome old-style JPEG",
        "Old-style LZW codes",
        "Auto-corrected former TIFF subsampling values",
        "Subsampling ",
        "The JPEG strip/tile is encoded with progressive mode",
        "Warning: unknown JFIF revision",
        "Unknown Adobe color transform code",
        "Corrupt JPEG data: bad ICC marker",
    };
    for (const char* notice : kNotices) {
        if (std::strncmp(message, notice, std::strlen(notice)) == 0) {
            return true;
        }
    }
    return false;
}

int OnWarning(TIFF*, void* user, const char* module, const char* format, va_list args) {
    TiffClient* client = ClientOf(user);
    char message[512];
    std::vsnprintf(message, sizeof message, format, args);
    if (client->warning.empty() && !IsNotice(message)) {
        client->warning = module != nullptr && *module ? std::string(module) + ": " + message
                                                       : std::string(message);
    }
    return 1;
}
// A directory's tags are read whole, in reads of 1 MB, then 10 MB, 100 MB... (a tag of
// 900 MB of XMP would be held whole): while a directory is read, a read larger than this
// fails, and libtiff leaves out the tag (strip offsets of up to some 27 MB still come in).
constexpr size_t kMaxTagRead = 16 * 1024 * 1024;

class CappedReads {
public:
    explicit CappedReads(TiffClient& client) : m_client(client) { client.readCap = kMaxTagRead; }
    ~CappedReads() { m_client.readCap = SIZE_MAX; }
    CappedReads(const CappedReads&) = delete;
    CappedReads& operator=(const CappedReads&) = delete;

private:
    TiffClient& m_client;
};
} // namespace

TiffFile::TiffFile(const SourceData& data) : m_client(std::make_unique<TiffClient>(data)) {
    const CappedReads capped(*m_client);
    Open(data.Name().c_str(), "rm");
}

bool TiffFile::ReadDirectory() {
    const CappedReads capped(*m_client);
    return TIFFReadDirectory(m_tiff) == 1;
}

bool TiffFile::SetDirectory(uint64_t offset) {
    const CappedReads capped(*m_client);
    return TIFFSetSubDirectory(m_tiff, offset) == 1;
}

TiffFile::TiffFile() : m_client(std::make_unique<TiffClient>()) {
    Open("memory", "wm");
}

void TiffFile::Open(const char* name, const char* mode) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, OnError, m_client.get());
    TIFFOpenOptionsSetWarningHandlerExtR(options, OnWarning, m_client.get());
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, static_cast<tmsize_t>(ImageSource::kMaxBuffer));
    m_tiff = TIFFClientOpenExt(name, mode, m_client.get(), ClientRead, ClientWrite, ClientSeek,
                               ClientClose, ClientSize, ClientMap, ClientUnmap, options);
    TIFFOpenOptionsFree(options);
    if (m_tiff == nullptr) {
        Fail("cannot open");
    }
}

TiffFile::~TiffFile() {
    if (m_tiff != nullptr) {
        TIFFClose(m_tiff);
    }
}

const std::string& TiffFile::Error() const {
    return m_client->error;
}

const std::string& TiffFile::Warning() const {
    return m_client->warning;
}

void TiffFile::ClearError() {
    m_client->error.clear();
    m_client->warning.clear();
}

uint64_t TiffFile::SourceSize() const {
    return m_client->Size();
}

const std::vector<unsigned char>& TiffFile::Written() const {
    return m_client->Memory();
}

void TiffFile::Fail(const std::string& what) const {
    throw PdfError(PDF_ERROR_CORRUPT,
                   "broken TIFF: " + (m_client->error.empty() ? what : m_client->error));
}
