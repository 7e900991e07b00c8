#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// A byte buffer that keeps its memory between uses and leaves new bytes uninitialised, so
// that reading image after image into it costs neither page faults nor zeroing.
class ByteBuffer {
public:
    unsigned char* Data() { return m_data.get(); }
    const unsigned char* Data() const { return m_data.get(); }
    size_t Size() const { return m_size; }
    void Resize(size_t size) {
        if (size > m_capacity) {
            m_data.reset(new unsigned char[size]);
            m_capacity = size;
        }
        m_size = size;
    }

private:
    std::unique_ptr<unsigned char[]> m_data;
    size_t m_size = 0;
    size_t m_capacity = 0;
};

// The bytes of one image source: a file read on demand, or data held in memory (tests and
// fuzzing). Files are opened for each read, so that a source holds no open handle while it
// waits for its turn in a long merge.
class SourceData {
public:
    static SourceData FromFile(const std::string& path);
    static SourceData FromMemory(std::string bytes, const std::string& name = "memory");

    // The file name for messages.
    const std::string& Name() const { return m_name; }
    // Throws PdfError when the file cannot be read.
    uint64_t Size() const;
    // Up to `size` bytes from the start.
    std::string ReadPrefix(size_t size) const;
    // The whole content.
    std::string ReadAll() const;
    void ReadAll(ByteBuffer& buffer) const;

    // Random access for decoders that seek (TIFF).
    class Reader {
    public:
        explicit Reader(const SourceData& data);
        ~Reader();
        Reader(const Reader&) = delete;
        Reader& operator=(const Reader&) = delete;
        // Reads up to `size` bytes at `offset`; returns the count read.
        size_t ReadAt(uint64_t offset, void* buffer, size_t size);
        uint64_t Size() const { return m_size; }

    private:
        const SourceData& m_data;
        int m_fd = -1;
        uint64_t m_size = 0;
    };

private:
    std::string m_path;
    std::string m_name;
    std::shared_ptr<const std::string> m_memory;
};
