#pragma once
// A Linux frame buffer (/dev/fbN) at 16 bits per pixel in RGB565, memory-mapped. An
// ordinary file stands in for a device (for tests): it is taken as a panel of the window's
// screen size with rows of 2 x width bytes, and must be at least that large.

#include <string>

#include "display/driver.h"
#include "platform/file_descriptor.h"

namespace vistrel {

struct FrameBufferGeometry {
    int width = 0;
    int height = 0;
    int pitch = 0;      // bytes from one row to the next
    size_t offset = 0;  // bytes from the start of the memory to the first visible pixel
    size_t length = 0;  // bytes to map
};

// Checks the device (or file) and tells its geometry; false, with a trace line, when it is
// missing, not 16-bit RGB565, or smaller than its visible area.
bool probe_framebuffer(const std::string& path, Size file_size, FrameBufferGeometry& geometry);

class FrameBufferDriver final : public DisplayDriver {
public:
    FrameBufferDriver() { m_swap_type = kVideoMemory; }
    ~FrameBufferDriver() override;
    bool initialise(Window& window, const DisplayParams& requested,
                    const DetectionRecord& record) override;
    Bitmap* lock() override { return m_view.get(); }
    void unlock_and_show(uint32_t flags) override;
    const Bitmap* frame() const override { return m_view.get(); }

private:
    FileDescriptor m_fd;
    void* m_map = nullptr;
    size_t m_map_length = 0;
    std::unique_ptr<Bitmap> m_view;
};

}  // namespace vistrel
