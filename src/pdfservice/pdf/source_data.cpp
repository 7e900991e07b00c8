#include "pdf/source_data.h"

#include "pdf/pdf_error.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr size_t kStreamBuffer = 256 * 1024;

[[noreturn]] void CannotRead(const std::string& name) {
    throw PdfError(PDF_ERROR_READ, "cannot read " + name + ": " + std::strerror(errno));
}

// Opens without waiting for a writer (a FIFO) or a device to become ready.
int OpenForReading(const std::string& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
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

SourceData SourceData::Slice(uint64_t offset, uint64_t length) const {
    SourceData slice = *this;
    const uint64_t available = m_length > offset ? m_length - offset : 0;
    slice.m_offset = m_offset + std::min(offset, m_length);
    slice.m_length = std::min(length, available);
    return slice;
}

SourceData::Reader::Reader(const SourceData& data) : m_data(data) {
    uint64_t whole = 0;
    if (m_data.m_memory) {
        whole = m_data.m_memory->size();
    } else {
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
        whole = static_cast<uint64_t>(info.st_size);
    }
    const uint64_t start = std::min(m_data.m_offset, whole);
    m_size = std::min(m_data.m_length, whole - start);
}

SourceData::Reader::~Reader() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

size_t SourceData::Reader::ReadAt(uint64_t offset, void* buffer, size_t size) {
    if (offset >= m_size) {
        return 0;
    }
    size = static_cast<size_t>(std::min<uint64_t>(size, m_size - offset));
    offset += m_data.m_offset;
    if (m_data.m_memory) {
        std::memcpy(buffer, m_data.m_memory->data() + offset, size);
        return size;
    }
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(m_fd, static_cast<char*>(buffer) + done, size - done,
                                  static_cast<off_t>(offset + done));
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
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

SourceData::Stream::Stream(const SourceData& data, uint64_t start)
    : m_reader(data), m_position(start) {}

bool SourceData::Stream::Ensure(size_t count) {
    if (Available() >= count) {
        return true;
    }
    // Move what is left to the front, grow when needed, then fill up.
    const size_t left = Available();
    if (m_begin > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_begin, left);
        m_begin = 0;
        m_end = left;
    }
    const size_t want = std::max(count, kStreamBuffer);
    if (m_buffer.size() < want) {
        m_buffer.resize(want);
    }
    while (m_end < count) {
        const size_t n =
            m_reader.ReadAt(m_position + m_end, m_buffer.data() + m_end, m_buffer.size() - m_end);
        if (n == 0) {
            return false;
        }
        m_end += n;
    }
    return true;
}

void SourceData::Stream::Skip(uint64_t count) {
    if (count <= Available()) {
        m_begin += static_cast<size_t>(count);
    } else {
        m_begin = m_end = 0;
    }
    m_position += count;
}

size_t SourceData::Stream::Read(void* out, size_t size) {
    auto* bytes = static_cast<unsigned char*>(out);
    size_t done = 0;
    while (done < size) {
        if (Available() == 0 && !Ensure(1)) {
            break;
        }
        const size_t n = std::min(size - done, Available());
        std::memcpy(bytes + done, Data(), n);
        Skip(n);
        done += n;
    }
    return done;
}
