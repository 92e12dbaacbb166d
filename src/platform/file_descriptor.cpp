#include "platform/file_descriptor.h"

#include <unistd.h>

#include <cerrno>

namespace vistrel {

void FileDescriptor::reset(int fd) {
    if (m_fd >= 0 && m_fd != fd) ::close(m_fd);
    m_fd = fd;
}

bool write_all(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

}  // namespace vistrel
