#include "platform/stream_window.h"

#include <algorithm>

namespace vistrel {

size_t StreamWindow::read(void* buffer, size_t count) {
    if (count == 0 || m_position >= m_size || !m_stream.seek(m_offset + m_position)) return 0;
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(count, m_size - m_position));
    const size_t got = m_stream.read(buffer, wanted);
    m_position += got;
    return got;
}

size_t StreamWindow::skip(size_t count) {
    const size_t moved =
        static_cast<size_t>(std::min<uint64_t>(count, m_size - std::min(m_size, m_position)));
    m_position += moved;
    return moved;
}

bool StreamWindow::seek(uint64_t position) {
    if (position > m_size) return false;
    m_position = position;
    return true;
}

}  // namespace vistrel
