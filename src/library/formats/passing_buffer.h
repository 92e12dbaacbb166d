#pragma once
// A picture-sized buffer for a library that decodes only into a whole picture, while we
// take its rows out one by one: the memory is the system's until rows are written, and
// the rows already taken out are given back, so only those decoded but not yet read are
// held at any time.

#include <cstddef>
#include <cstdint>

namespace vistrel {

class PassingBuffer {
public:
    PassingBuffer() = default;
    ~PassingBuffer();
    PassingBuffer(const PassingBuffer&) = delete;
    PassingBuffer& operator=(const PassingBuffer&) = delete;

    // Reserves `rows` rows of `stride` bytes; false when the address space is refused.
    bool reserve(size_t stride, int rows);
    uint8_t* data() { return m_data; }
    uint8_t* row(int y) { return m_data + size_t(y) * m_stride; }
    size_t stride() const { return m_stride; }
    size_t size() const { return m_size; }
    // The rows before `y` will not be read again: the whole pages they fill are given back
    // (in steps of at least a megabyte), and read as zeros should anyone look.
    void release_before(int y);

private:
    uint8_t* m_data = nullptr;
    size_t m_size = 0;
    size_t m_stride = 0;
    size_t m_released = 0;  // bytes from the start already given back
};

}  // namespace vistrel
