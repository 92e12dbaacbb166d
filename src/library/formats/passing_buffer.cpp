#include "library/formats/passing_buffer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>

namespace vistrel {

namespace {

constexpr size_t kReleaseStep = size_t(1) << 20;

size_t page_size() {
    const long size = sysconf(_SC_PAGESIZE);
    return size > 0 ? size_t(size) : 4096;
}

}  // namespace

PassingBuffer::~PassingBuffer() {
    if (m_data) munmap(m_data, m_size);
}

bool PassingBuffer::reserve(size_t stride, int rows) {
    if (m_data || stride == 0 || rows <= 0 || stride > SIZE_MAX / size_t(rows)) return false;
    const size_t size = stride * size_t(rows);
    void* mapped = mmap(nullptr, size, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (mapped == MAP_FAILED) return false;
    m_data = static_cast<uint8_t*>(mapped);
    m_size = size;
    m_stride = stride;
    return true;
}

void PassingBuffer::release_before(int y) {
    if (!m_data || y <= 0) return;
    const size_t page = page_size();
    const size_t end = std::min(m_size, size_t(y) * m_stride) / page * page;
    if (end < m_released + kReleaseStep) return;
    madvise(m_data + m_released, end - m_released, MADV_DONTNEED);
    m_released = end;
}

}  // namespace vistrel
