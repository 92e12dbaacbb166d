#include "display/framebuffer_driver.h"

#include <fcntl.h>
#include <linux/fb.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include "display/window.h"
#include "platform/file_descriptor.h"
#include "platform/trace.h"

namespace vistrel {

namespace {

constexpr int kMaxSide = 8192;

bool is_rgb565(const fb_var_screeninfo& var) {
    return var.bits_per_pixel == 16 && var.red.offset == 11 && var.red.length == 5 &&
           var.green.offset == 5 && var.green.length == 6 && var.blue.offset == 0 &&
           var.blue.length == 5;
}

bool geometry_of(int fd, Size file_size, FrameBufferGeometry& g, const std::string& path) {
    fb_var_screeninfo var{};
    fb_fix_screeninfo fix{};
    if (ioctl(fd, FBIOGET_VSCREENINFO, &var) == 0 && ioctl(fd, FBIOGET_FSCREENINFO, &fix) == 0) {
        if (!is_rgb565(var)) {
            trace() << "FrameBuffer " << path << ": not 16-bit RGB565 (" << var.bits_per_pixel
                    << " bits)\n";
            return false;
        }
        g.width = static_cast<int>(var.xres);
        g.height = static_cast<int>(var.yres);
        g.pitch = static_cast<int>(fix.line_length);
        g.offset = size_t(var.yoffset) * fix.line_length + size_t(var.xoffset) * 2;
        g.length = fix.smem_len;
        if (var.xres > kMaxSide || var.yres > kMaxSide || fix.line_length > 4u * kMaxSide ||
            var.yoffset > kMaxSide || var.xoffset > kMaxSide)
            return false;
    } else {
        // Not a frame-buffer device: an ordinary file of the window's screen size.
        struct stat st {};
        if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
        g.width = file_size.w;
        g.height = file_size.h;
        g.pitch = 2 * file_size.w;
        g.offset = 0;
        g.length = static_cast<size_t>(st.st_size);
    }
    if (g.width < 1 || g.height < 1 || g.width > kMaxSide || g.height > kMaxSide ||
        g.pitch < 2 * g.width || (g.pitch & 1)) {
        trace() << "FrameBuffer " << path << ": bad geometry\n";
        return false;
    }
    const size_t visible = g.offset + size_t(g.pitch) * size_t(g.height - 1) + size_t(g.width) * 2;
    if (g.length < visible) {
        trace() << "FrameBuffer " << path << ": memory smaller than the visible area\n";
        return false;
    }
    return true;
}

}  // namespace

bool probe_framebuffer(const std::string& path, Size file_size, FrameBufferGeometry& geometry) {
    if (path.empty()) return false;
    FileDescriptor fd(::open(path.c_str(), O_RDWR | O_CLOEXEC));
    if (fd.get() < 0) {
        trace() << "FrameBuffer " << path << ": cannot open\n";
        return false;
    }
    return geometry_of(fd.get(), file_size, geometry, path);
}

FrameBufferDriver::~FrameBufferDriver() {
    m_view.reset();
    if (m_map) munmap(m_map, m_map_length);
}

bool FrameBufferDriver::initialise(Window& window, const DisplayParams& requested,
                                   const DetectionRecord& record) {
    FileDescriptor fd(::open(record.framebuffer.c_str(), O_RDWR | O_CLOEXEC));
    if (fd.get() < 0) return false;
    FrameBufferGeometry g;
    if (!geometry_of(fd.get(), window.profile().screen, g, record.framebuffer)) return false;
    void* map = mmap(nullptr, g.length, PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
    if (map == MAP_FAILED) {
        trace() << "FrameBuffer " << record.framebuffer << ": cannot map\n";
        return false;
    }
    m_map = map;
    m_map_length = g.length;
    m_fd = std::move(fd);
    auto* first = reinterpret_cast<Pixel*>(static_cast<uint8_t*>(map) + g.offset);
    m_view = std::make_unique<Bitmap>(first, g.width, g.height, g.pitch);
    m_width = g.width;
    m_height = g.height;
    m_pitch = g.pitch;
    m_orientation = 0;
    m_dirty = {0, 0, g.width, g.height};
    return true;
}

void FrameBufferDriver::unlock_and_show(uint32_t flags) {
    // Writes went straight to the device; a file stand-in is written back by the system.
}

}  // namespace vistrel
