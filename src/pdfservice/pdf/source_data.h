#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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

// The bytes of one image source: a file read on demand, data held in memory (tests and
// fuzzing), or a part of either (an image embedded in another). Files are opened for each
// reading, so that a source holds no open handle while it waits for its turn in a long
// merge; only regular files are read, and opening never blocks (a FIFO named like an image).
// Nothing reads a whole file at once: readers take what they need, piece by piece.
class SourceData {
public:
    static SourceData FromFile(const std::string& path);
    static SourceData FromMemory(std::string bytes, const std::string& name = "memory");
    // `length` bytes from `offset` on (fewer where the data ends first), under the same name.
    SourceData Slice(uint64_t offset, uint64_t length) const;

    // The file name for messages.
    const std::string& Name() const { return m_name; }
    // Throws PdfError when the file cannot be read.
    uint64_t Size() const;
    // Up to `size` bytes from the start.
    std::string ReadPrefix(size_t size) const;

    // Random access.
    class Reader {
    public:
        explicit Reader(const SourceData& data);
        ~Reader();
        Reader(const Reader&) = delete;
        Reader& operator=(const Reader&) = delete;
        // Reads up to `size` bytes at `offset`; returns the count read.
        size_t ReadAt(uint64_t offset, void* buffer, size_t size);
        uint64_t Size() const { return m_size; }
        const std::string& Name() const { return m_data.m_name; }

    private:
        const SourceData& m_data;
        int m_fd = -1;
        uint64_t m_size = 0;
    };

    // Sequential reading through a buffer: the bytes at the current position are looked at
    // in place, then consumed.
    class Stream {
    public:
        explicit Stream(const SourceData& data, uint64_t start = 0);
        // Makes at least `count` bytes available at the position (fewer at the end of the
        // data); false when fewer are. The buffer grows to `count` when needed.
        bool Ensure(size_t count);
        const unsigned char* Data() const { return m_buffer.data() + m_begin; }
        size_t Available() const { return m_end - m_begin; }
        // Moves on by `count` bytes, buffered or not.
        void Skip(uint64_t count);
        // Reads up to `size` bytes; returns the count read.
        size_t Read(void* out, size_t size);
        uint64_t Position() const { return m_position; }
        uint64_t Size() const { return m_reader.Size(); }
        const std::string& Name() const { return m_reader.Name(); }

    private:
        Reader m_reader;
        std::vector<unsigned char> m_buffer;
        size_t m_begin = 0;
        size_t m_end = 0;
        uint64_t m_position = 0; // of m_begin in the data
    };

private:
    std::string m_path;
    std::string m_name;
    std::shared_ptr<const std::string> m_memory;
    uint64_t m_offset = 0;
    uint64_t m_length = UINT64_MAX;
};
