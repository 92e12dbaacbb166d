#include "display/framebuffer_driver.h"

#include <fcntl.h>
#include <linux/fb.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "display/window.h"
#include "platform/trace.h"

namespace vistrel {

namespace {

constexpr int kMaxSide = 8192;

bool channel(const fb_bitfield& field, uint32_t offset, uint32_t length) {
    return field.offset == offset && field.length == length && field.msb_right == 0;
}

bool layout_of(const fb_var_screeninfo& var, PixelLayout& layout) {
    if (var.bits_per_pixel == 16 && channel(var.red, 11, 5) && channel(var.green, 5, 6) &&
        channel(var.blue, 0, 5)) {
        layout = PixelLayout::Rgb565;
        return true;
    }
    if (var.bits_per_pixel == 32 && channel(var.green, 8, 8)) {
        if (channel(var.red, 16, 8) && channel(var.blue, 0, 8)) {
            layout = PixelLayout::Xrgb8888;
            return true;
        }
        if (channel(var.red, 0, 8) && channel(var.blue, 16, 8)) {
            layout = PixelLayout::Xbgr8888;
            return true;
        }
    }
    return false;
}

bool geometry_of(int fd, Size file_size, FrameBufferGeometry& g, const std::string& path,
                 std::string& problem) {
    fb_var_screeninfo var{};
    fb_fix_screeninfo fix{};
    if (ioctl(fd, FBIOGET_VSCREENINFO, &var) == 0 && ioctl(fd, FBIOGET_FSCREENINFO, &fix) == 0) {
        if (!layout_of(var, g.layout)) {
            problem = path + " has " + std::to_string(var.bits_per_pixel) +
                      "-bit pixels of a layout Vistrel cannot draw (it draws 16-bit RGB565 and "
                      "32-bit XRGB8888)";
            return false;
        }
        if (var.xres > kMaxSide || var.yres > kMaxSide || var.yoffset > kMaxSide ||
            var.xoffset > kMaxSide || fix.line_length > 4u * kMaxSide) {
            problem = path + " reports a size out of range";
            return false;
        }
        g.width = static_cast<int>(var.xres);
        g.height = static_cast<int>(var.yres);
        g.pitch = static_cast<int>(fix.line_length);
        g.offset = size_t(var.yoffset) * fix.line_length +
                   size_t(var.xoffset) * size_t(bytes_per_pixel(g.layout));
        g.length = fix.smem_len;
        g.rotate = static_cast<int>(var.rotate & 3);
    } else {
        // Not a frame-buffer device: an ordinary file of the window's screen size.
        struct stat st {};
        if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            problem = path + " is not a frame buffer";
            return false;
        }
        g.width = file_size.w;
        g.height = file_size.h;
        g.pitch = 2 * file_size.w;
        g.offset = 0;
        g.length = static_cast<size_t>(st.st_size);
        g.layout = PixelLayout::Rgb565;
    }
    if (!framebuffer_geometry_fits(g)) {
        problem = path + ": its memory does not hold a " + std::to_string(g.width) + " x " +
                  std::to_string(g.height) + " picture";
        return false;
    }
    return true;
}

}  // namespace

std::string device_open_problem(const std::string& path, int error) {
    std::string line = "cannot open " + path + ": " + std::strerror(error);
    if (error == EACCES || error == EPERM) line += " (the user needs the group \"video\")";
    return line;
}

bool framebuffer_geometry_fits(const FrameBufferGeometry& g) {
    const int bpp = bytes_per_pixel(g.layout);
    if (g.width < 1 || g.height < 1 || g.width > kMaxSide || g.height > kMaxSide ||
        g.pitch < bpp * g.width || g.pitch % bpp != 0 || g.offset > g.length)
        return false;
    const size_t visible =
        g.offset + size_t(g.pitch) * size_t(g.height - 1) + size_t(g.width) * size_t(bpp);
    return g.length >= visible;
}

bool probe_framebuffer(const std::string& path, Size file_size, FrameBufferGeometry& geometry,
                       std::string* problem) {
    std::string why;
    bool fine = false;
    if (path.empty()) {
        why = "no frame-buffer device named";
    } else {
        FileDescriptor fd(::open(path.c_str(), O_RDWR | O_CLOEXEC));
        if (fd.get() < 0)
            why = device_open_problem(path, errno);
        else
            fine = geometry_of(fd.get(), file_size, geometry, path, why);
    }
    if (!fine) {
        trace() << "FrameBuffer " << why << "\n";
        if (problem) *problem = why;
    }
    return fine;
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
    std::string problem;
    if (!geometry_of(fd.get(), window.profile().screen, g, record.framebuffer, problem)) {
        trace() << "FrameBuffer " << problem << "\n";
        return false;
    }
    return attach(std::move(fd), g);
}

bool FrameBufferDriver::attach(FileDescriptor fd, const FrameBufferGeometry& g) {
    if (fd.get() < 0 || m_map || !framebuffer_geometry_fits(g)) return false;
    void* map = mmap(nullptr, g.length, PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
    if (map == MAP_FAILED) {
        trace() << "FrameBuffer cannot map " << g.length << " bytes\n";
        return false;
    }
    m_map = map;
    m_map_length = g.length;
    m_fd = std::move(fd);
    uint8_t* first = static_cast<uint8_t*>(map) + g.offset;
    m_target = {first, g.width, g.height, g.pitch, g.layout};
    if (g.layout == PixelLayout::Rgb565) {
        m_view = std::make_unique<Bitmap>(reinterpret_cast<Pixel*>(first), g.width, g.height,
                                          g.pitch);
        m_swap_type = kVideoMemory;
        m_pitch = g.pitch;
    } else {
        m_frame = Bitmap::create(g.width, g.height);
        if (!m_frame) return false;
        m_frame->clear(0);
        m_swap_type = kSystemMemory;
        m_pitch = m_frame->pitch();
    }
    m_width = g.width;
    m_height = g.height;
    m_orientation = 0;
    m_dirty = {0, 0, g.width, g.height};
    return true;
}

Bitmap* FrameBufferDriver::lock() {
    return m_view ? m_view.get() : m_frame.get();
}

const Bitmap* FrameBufferDriver::frame() const {
    return m_view ? m_view.get() : m_frame.get();
}

void FrameBufferDriver::unlock_and_show(uint32_t flags) {
    // RGB565 writes went straight to the device (a file stand-in is written back by the
    // system); 32-bit memory gets the changed part converted.
    if (m_frame) write_pixels(*m_frame, m_dirty, m_target);
}

void FrameBufferDriver::repaint() {
    if (m_frame) write_pixels(*m_frame, {0, 0, m_width, m_height}, m_target);
}

void FrameBufferDriver::suspend() {
    if (m_fd.is_open()) ioctl(m_fd.get(), FBIOBLANK, FB_BLANK_POWERDOWN);
}

void FrameBufferDriver::resume() {
    if (m_fd.is_open()) ioctl(m_fd.get(), FBIOBLANK, FB_BLANK_UNBLANK);
    repaint();
}

}  // namespace vistrel
