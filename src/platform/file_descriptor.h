#pragma once
// Ownership of one open file descriptor: closed when its owner goes.

#include <string>

namespace vistrel {

// Writes all of `data` to `fd`, again after interruptions; false on an error.
bool write_all(int fd, const std::string& data);

class FileDescriptor {
public:
    FileDescriptor() = default;
    // Takes `fd`; a negative value owns nothing.
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(FileDescriptor&& other) noexcept : m_fd(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    // The descriptor, or -1 when none is owned.
    int get() const { return m_fd; }
    bool is_open() const { return m_fd >= 0; }
    // Gives the descriptor up without closing it.
    int release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    // Closes the owned descriptor, then takes `fd`.
    void reset(int fd = -1);

private:
    int m_fd = -1;
};

}  // namespace vistrel
