#include <algorithm>

#include "display/driver.h"
#include "display/framebuffer_driver.h"
#include "display/kms_driver.h"
#include "display/rotate.h"
#include "display/window.h"

namespace vistrel {

std::unique_ptr<DisplayDriver> CreateDriver(int id) {
    switch (id) {
        case kScreenDriverId:
            return std::make_unique<ScreenDriver>();
        case kFrameBufferDriverId:
            return std::make_unique<FrameBufferDriver>();
        case kKmsDriverId:
            return std::make_unique<KmsDriver>();
        default:
            return nullptr;
    }
}

bool ScreenDriver::initialise(Window& window, const DisplayParams& requested,
                              const DetectionRecord& record) {
    m_window = &window;
    const Bitmap& screen = window.screen();
    m_width = screen.width();
    m_height = screen.height();
    m_pitch = screen.pitch();
    m_orientation = 0;
    m_swap_type = kSystemMemory;
    m_dirty = {0, 0, m_width, m_height};
    return true;
}

Bitmap* ScreenDriver::lock() {
    return m_window ? &m_window->screen() : nullptr;
}

void ScreenDriver::unlock_and_show(uint32_t flags) {
    if (m_window && !m_dirty.empty()) m_window->screen_changed(m_dirty);
}

void ScreenDriver::repaint() {
    if (m_window) m_window->repaint_screen();
}

const Bitmap* ScreenDriver::frame() const {
    return m_window ? &m_window->screen() : nullptr;
}

RotationDriver::RotationDriver(std::unique_ptr<DisplayDriver> wrapped)
    : m_wrapped(std::move(wrapped)) {}

bool RotationDriver::initialise(Window& window, const DisplayParams& requested,
                                const DetectionRecord& record) {
    if (!m_wrapped || requested.orientation < 0 || requested.orientation > 3) return false;
    int turn = m_wrapped->orientation() - requested.orientation;
    if (turn < 0) turn += 4;
    m_turn = turn & 3;
    const Size size = turned_size({m_wrapped->width(), m_wrapped->height()}, m_turn);
    m_frame = Bitmap::create(size);
    if (!m_frame) return false;
    m_frame->clear(0);
    m_width = size.w;
    m_height = size.h;
    m_pitch = m_frame->pitch();
    m_orientation = requested.orientation;
    m_swap_type = kSystemMemory;
    m_dirty = {0, 0, size.w, size.h};
    return true;
}

void RotationDriver::unlock_and_show(uint32_t flags) {
    Bitmap* target = m_wrapped->lock();
    if (!target || m_dirty.empty()) return;
    const Size frame_size{m_width, m_height};
    const Size target_size{m_wrapped->width(), m_wrapped->height()};
    // Whole 16 x 16 blocks of the wrapped driver's picture.
    Rect out = turn_rect(m_dirty, frame_size, m_turn);
    out.left &= ~15;
    out.top &= ~15;
    out.right = std::min((out.right + 15) & ~15, target_size.w);
    out.bottom = std::min((out.bottom + 15) & ~15, target_size.h);
    const Rect in = turn_rect(out, target_size, (4 - m_turn) & 3);
    rotate_copy(*m_frame, in, *target, m_turn);
    m_wrapped->set_dirty(out);
    m_wrapped->unlock_and_show(flags);
}

}  // namespace vistrel
