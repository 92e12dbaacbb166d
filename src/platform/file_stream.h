#pragma once
// Byte streams: the reading and writing faces, the file stream over a path and the
// in-memory stream. None of them buffers on its own.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_descriptor.h"

namespace vistrel {

// Reading face. Every operation returns 0 (or false) on a closed stream or a zero count.
class InputStream {
public:
    virtual ~InputStream() = default;
    virtual size_t read(void* buffer, size_t count) = 0;
    // Moves forward by up to `count` bytes; returns how far it moved.
    virtual size_t skip(size_t count) = 0;
    virtual bool is_open() const = 0;
    virtual uint64_t size() const = 0;
    virtual bool seek(uint64_t position) = 0;
    virtual uint64_t position() const = 0;
};

// Writing face.
class OutputStream {
public:
    virtual ~OutputStream() = default;
    virtual size_t write(const void* buffer, size_t count) = 0;
    virtual bool is_open() const = 0;
    virtual uint64_t size() const = 0;
    virtual bool seek(uint64_t position) = 0;
    virtual uint64_t position() const = 0;
};

// How a file stream opens its file.
enum class OpenMode : int {
    Read = 0,       // read; fails when the file does not exist
    Write = 1,      // write; truncates or creates
    Append = 2,     // write at the end; creates when missing
    ReadWrite = 3,  // read and write; creates when missing
};

// A file opened from a path (path macros are expanded first) with both faces over one
// descriptor. A failed open leaves the stream closed.
class FileStream final : public InputStream, public OutputStream {
public:
    FileStream() = default;
    FileStream(const std::u16string& path, OpenMode mode);
    // Opens with the numeric mode: 0, 1, 2, any other value is read and write.
    FileStream(const std::u16string& path, int mode);
    FileStream(FileStream&&) noexcept = default;
    FileStream& operator=(FileStream&&) noexcept = default;

    bool open(const std::u16string& path, OpenMode mode);
    void close();

    size_t read(void* buffer, size_t count) override;
    size_t skip(size_t count) override;
    size_t write(const void* buffer, size_t count) override;
    bool is_open() const override { return m_fd.is_open(); }
    uint64_t size() const override;
    bool seek(uint64_t position) override;
    uint64_t position() const override;
    // Pushes written data to the storage.
    bool flush();
    int descriptor() const { return m_fd.get(); }

private:
    FileDescriptor m_fd;
};

// Both faces over a growable buffer; rewind it to read back what was written.
class MemoryStream final : public InputStream, public OutputStream {
public:
    MemoryStream() = default;
    explicit MemoryStream(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {}

    size_t read(void* buffer, size_t count) override;
    size_t skip(size_t count) override;
    size_t write(const void* buffer, size_t count) override;
    bool is_open() const override { return true; }
    uint64_t size() const override { return m_bytes.size(); }
    bool seek(uint64_t position) override;
    uint64_t position() const override { return m_position; }

    void rewind() { m_position = 0; }
    // Drops the contents and rewinds.
    void clear();
    const std::vector<uint8_t>& bytes() const { return m_bytes; }
    std::vector<uint8_t>& bytes() { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
    size_t m_position = 0;
};

// Reads a whole file (path macros expanded) into `out`; false when it cannot be opened
// or is larger than `max_size` bytes.
bool read_file(const std::u16string& path, std::vector<uint8_t>& out,
               uint64_t max_size = uint64_t(1) << 30);

}  // namespace vistrel
