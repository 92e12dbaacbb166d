#include "platform/file_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/paths.h"
#include "platform/text.h"

namespace vistrel {

FileStream::FileStream(const std::u16string& path, OpenMode mode) {
    open(path, mode);
}

FileStream::FileStream(const std::u16string& path, int mode) {
    const OpenMode m = (mode == 0)   ? OpenMode::Read
                       : (mode == 1) ? OpenMode::Write
                       : (mode == 2) ? OpenMode::Append
                                     : OpenMode::ReadWrite;
    open(path, m);
}

bool FileStream::open(const std::u16string& path, OpenMode mode) {
    close();
    const std::string native = to_utf8(expand_path(path));
    if (native.empty()) return false;
    int flags = O_CLOEXEC;
    switch (mode) {
        case OpenMode::Read:
            flags |= O_RDONLY;
            break;
        case OpenMode::Write:
            flags |= O_WRONLY | O_CREAT | O_TRUNC;
            break;
        case OpenMode::Append:
            flags |= O_WRONLY | O_CREAT;
            break;
        case OpenMode::ReadWrite:
            flags |= O_RDWR | O_CREAT;
            break;
    }
    int fd;
    do {
        fd = ::open(native.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    FileDescriptor opened(fd);
    if (!opened.is_open()) return false;
    struct stat st {};
    if (fstat(opened.get(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    m_fd = std::move(opened);
    if (mode == OpenMode::Append && lseek(m_fd.get(), 0, SEEK_END) < 0) close();
    return is_open();
}

void FileStream::close() {
    m_fd.reset();
}

size_t FileStream::read(void* buffer, size_t count) {
    if (!is_open() || count == 0) return 0;
    auto* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::read(m_fd.get(), out + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

size_t FileStream::skip(size_t count) {
    if (!is_open() || count == 0) return 0;
    const uint64_t here = position();
    const uint64_t end = size();
    const uint64_t step = std::min<uint64_t>(count, end > here ? end - here : 0);
    if (step == 0 || !seek(here + step)) return 0;
    return static_cast<size_t>(step);
}

size_t FileStream::write(const void* buffer, size_t count) {
    if (!is_open() || count == 0) return 0;
    const auto* in = static_cast<const uint8_t*>(buffer);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(m_fd.get(), in + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

uint64_t FileStream::size() const {
    if (!is_open()) return 0;
    struct stat st {};
    if (fstat(m_fd.get(), &st) != 0) return 0;
    return static_cast<uint64_t>(st.st_size);
}

bool FileStream::seek(uint64_t position) {
    if (!is_open() || position > static_cast<uint64_t>(INT64_MAX)) return false;
    return lseek(m_fd.get(), static_cast<off_t>(position), SEEK_SET) >= 0;
}

uint64_t FileStream::position() const {
    if (!is_open()) return 0;
    const off_t p = lseek(m_fd.get(), 0, SEEK_CUR);
    return p < 0 ? 0 : static_cast<uint64_t>(p);
}

bool FileStream::flush() {
    return is_open() && fsync(m_fd.get()) == 0;
}

size_t MemoryStream::read(void* buffer, size_t count) {
    if (count == 0 || m_position >= m_bytes.size()) return 0;
    const size_t n = std::min(count, m_bytes.size() - m_position);
    std::memcpy(buffer, m_bytes.data() + m_position, n);
    m_position += n;
    return n;
}

size_t MemoryStream::skip(size_t count) {
    if (count == 0 || m_position >= m_bytes.size()) return 0;
    const size_t n = std::min(count, m_bytes.size() - m_position);
    m_position += n;
    return n;
}

size_t MemoryStream::write(const void* buffer, size_t count) {
    if (count == 0) return 0;
    if (m_position + count > m_bytes.size()) m_bytes.resize(m_position + count);
    std::memcpy(m_bytes.data() + m_position, buffer, count);
    m_position += count;
    return count;
}

bool MemoryStream::seek(uint64_t position) {
    if (position > m_bytes.size()) return false;
    m_position = static_cast<size_t>(position);
    return true;
}

void MemoryStream::clear() {
    m_bytes.clear();
    m_position = 0;
}

bool read_file(const std::u16string& path, std::vector<uint8_t>& out, uint64_t max_size) {
    FileStream file(path, OpenMode::Read);
    if (!file.is_open()) return false;
    const uint64_t size = file.size();
    if (size > max_size) return false;
    out.resize(static_cast<size_t>(size));
    const size_t got = file.read(out.data(), out.size());
    out.resize(got);
    return true;
}

}  // namespace vistrel
