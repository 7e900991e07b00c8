#include "pdf/source_data.h"

#include "pdf/pdf_error.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
[[noreturn]] void CannotRead(const std::string& name) {
    throw PdfError(PDF_ERROR_READ, "cannot read " + name + ": " + std::strerror(errno));
}

int OpenForReading(const std::string& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
} // namespace

SourceData SourceData::FromFile(const std::string& path) {
    SourceData data;
    data.m_path = path;
    data.m_name = BaseName(path);
    return data;
}

SourceData SourceData::FromMemory(std::string bytes, const std::string& name) {
    SourceData data;
    data.m_name = name;
    data.m_memory = std::make_shared<const std::string>(std::move(bytes));
    return data;
}

SourceData::Reader::Reader(const SourceData& data) : m_data(data) {
    if (m_data.m_memory) {
        m_size = m_data.m_memory->size();
        return;
    }
    m_fd = OpenForReading(m_data.m_path);
    struct stat info;
    if (m_fd < 0 || ::fstat(m_fd, &info) != 0) {
        const int saved = errno;
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        errno = saved;
        CannotRead(m_data.m_name);
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(m_fd);
        throw PdfError(PDF_ERROR_READ, m_data.m_name + " is not a file");
    }
    m_size = static_cast<uint64_t>(info.st_size);
}

SourceData::Reader::~Reader() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

size_t SourceData::Reader::ReadAt(uint64_t offset, void* buffer, size_t size) {
    if (m_data.m_memory) {
        const std::string& bytes = *m_data.m_memory;
        if (offset >= bytes.size()) {
            return 0;
        }
        const size_t n = std::min<uint64_t>(size, bytes.size() - offset);
        std::memcpy(buffer, bytes.data() + offset, n);
        return n;
    }
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(m_fd, static_cast<char*>(buffer) + done, size - done,
                                  static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            CannotRead(m_data.m_name);
        }
        if (n == 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    return done;
}

uint64_t SourceData::Size() const {
    return Reader(*this).Size();
}

std::string SourceData::ReadPrefix(size_t size) const {
    Reader reader(*this);
    std::string bytes(std::min<uint64_t>(size, reader.Size()), '\0');
    bytes.resize(reader.ReadAt(0, bytes.data(), bytes.size()));
    return bytes;
}

std::string SourceData::ReadAll() const {
    if (m_memory) {
        return *m_memory;
    }
    Reader reader(*this);
    std::string bytes(reader.Size(), '\0');
    bytes.resize(reader.ReadAt(0, bytes.data(), bytes.size()));
    return bytes;
}

void SourceData::ReadAll(ByteBuffer& buffer) const {
    Reader reader(*this);
    buffer.Resize(reader.Size());
    buffer.Resize(reader.ReadAt(0, buffer.Data(), buffer.Size()));
}
