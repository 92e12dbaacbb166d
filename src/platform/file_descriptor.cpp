#include "platform/file_descriptor.h"

#include <unistd.h>

namespace vistrel {

void FileDescriptor::reset(int fd) {
    if (m_fd >= 0 && m_fd != fd) ::close(m_fd);
    m_fd = fd;
}

}  // namespace vistrel
