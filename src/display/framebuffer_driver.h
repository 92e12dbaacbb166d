#pragma once
// A Linux frame buffer (/dev/fbN), memory-mapped: 16-bit RGB565 memory is drawn into
// directly; 32-bit (XRGB8888 or XBGR8888) memory gets each frame converted from an RGB565
// copy in system memory. An ordinary file stands in for a device (for tests): it is taken
// as an RGB565 panel of the window's screen size and must be at least that large.

#include <string>

#include "display/driver.h"
#include "display/pixel_output.h"
#include "platform/file_descriptor.h"

namespace vistrel {

struct FrameBufferGeometry {
    int width = 0;
    int height = 0;
    int pitch = 0;      // bytes from one row to the next
    size_t offset = 0;  // bytes from the start of the memory to the first visible pixel
    size_t length = 0;  // bytes to map
    PixelLayout layout = PixelLayout::Rgb565;
    int rotate = 0;  // quarter turns the kernel reports for the panel (0..3)
};

// Checks the device (or file) and tells its geometry; false when it is missing, cannot be
// written, has a pixel layout we cannot draw, or is smaller than its visible area. Then
// `problem`, when given, receives one line saying why (no "vistrel:" prefix).
bool probe_framebuffer(const std::string& path, Size file_size, FrameBufferGeometry& geometry,
                       std::string* problem = nullptr);

// "cannot open PATH: reason", naming the group to join when access was refused.
std::string device_open_problem(const std::string& path, int error);

// Whether `geometry` is sound: sizes in range, rows long enough, the memory large enough.
bool framebuffer_geometry_fits(const FrameBufferGeometry& geometry);

class FrameBufferDriver final : public DisplayDriver {
public:
    FrameBufferDriver() { m_swap_type = kVideoMemory; }
    ~FrameBufferDriver() override;
    bool initialise(Window& window, const DisplayParams& requested,
                    const DetectionRecord& record) override;
    // Maps `fd` with the given geometry (checked again here) and takes it over.
    bool attach(FileDescriptor fd, const FrameBufferGeometry& geometry);
    Bitmap* lock() override;
    void unlock_and_show(uint32_t flags) override;
    const Bitmap* frame() const override;
    // The panel is switched off while the program is inactive (a blanked schedule).
    void suspend() override;
    void resume() override;
    void repaint() override;

private:
    FileDescriptor m_fd;
    void* m_map = nullptr;
    size_t m_map_length = 0;
    PixelTarget m_target;
    std::unique_ptr<Bitmap> m_view;   // RGB565 memory: the device's own pixels
    std::unique_ptr<Bitmap> m_frame;  // 32-bit memory: the frame before conversion
};

}  // namespace vistrel
