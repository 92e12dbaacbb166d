#include "display/display.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "display/framebuffer_driver.h"
#include "display/kms_driver.h"
#include "display/remap.h"
#include "display/rotate.h"

namespace vistrel {

namespace {

// The windows whose messages a display hooks; the table has room for 16.
std::array<Window*, 16> g_hooked{};

bool hook_window(Window& window) {
    for (Window*& slot : g_hooked) {
        if (!slot) {
            slot = &window;
            return true;
        }
    }
    return false;
}

void unhook_window(Window& window) {
    for (Window*& slot : g_hooked)
        if (slot == &window) {
            slot = nullptr;
            return;
        }
}

Rect clip_to(Rect r, int width, int height) {
    r.left = std::max(r.left, 0);
    r.top = std::max(r.top, 0);
    r.right = std::min(r.right, width);
    r.bottom = std::min(r.bottom, height);
    return r.empty() ? Rect{} : r;
}

// The smallest rectangle holding both (an empty one holds nothing).
Rect united(Rect a, Rect b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

}  // namespace

std::vector<DisplayMode> Display::modes_for(int width, int height, int orientation) {
    // The block rotation copes with partial blocks, so every size turns all four ways.
    std::vector<DisplayMode> modes;
    for (int turn = 0; turn < 4; ++turn) {
        const bool odd = turn & 1;
        modes.push_back({odd ? height : width, odd ? width : height, (orientation + turn) & 3});
    }
    return modes;
}

DetectionRecord Display::detect(Window& window) {
    DetectionRecord record;
    const Bitmap& screen = window.screen();
    record.width = screen.width();
    record.height = screen.height();
    record.pitch = screen.pitch();
    record.orientation = 0;
    record.drivers.push_back(kScreenDriverId);
    FrameBufferGeometry geometry;
    KmsMode kms;
    const std::string& device = window.profile().framebuffer;
    if (!device.empty() && is_kms_device(device)) {
        if (probe_kms(device, kms)) {
            record.framebuffer = device;
            record.width = kms.width;
            record.height = kms.height;
            record.pitch = Bitmap::pitch_for(kms.width);
            record.drivers.push_back(kKmsDriverId);
        }
    } else if (!device.empty() && probe_framebuffer(device, window.profile().screen, geometry)) {
        record.framebuffer = device;
        record.width = geometry.width;
        record.height = geometry.height;
        record.pitch = geometry.pitch;
        record.drivers.push_back(kFrameBufferDriverId);
    }
    if (record.orientation == kAnyOrientation) record.orientation = 0;
    record.modes = modes_for(record.width, record.height, record.orientation);
    return record;
}

std::unique_ptr<Display> Display::Create(Window& window, DisplayParams& params) {
    if (params.swap == 0) params.swap = 1;
    std::unique_ptr<Display> display(new Display(window));
    if (!display->initialise(params)) return nullptr;
    params.width = display->m_width;
    params.height = display->m_height;
    params.orientation = display->m_orientation;
    params.swap = display->m_swap;
    return display;
}

bool Display::initialise(DisplayParams& params) {
    if (!hook_window(m_window)) return false;
    m_hooked = true;
    m_record = detect(m_window);
    const int wanted = params.orientation;
    const bool known =
        wanted == kAnyOrientation ||
        std::any_of(m_record.modes.begin(), m_record.modes.end(),
                    [wanted](const DisplayMode& m) { return m.orientation == wanted; });
    if (!known) return false;
    for (auto id = m_record.drivers.rbegin(); id != m_record.drivers.rend() && !m_driver; ++id) {
        auto driver = CreateDriver(*id);
        if (driver && driver->initialise(m_window, params, m_record)) m_driver = std::move(driver);
    }
    if (!m_driver) return false;
    if (wanted < kAnyOrientation && wanted != m_driver->orientation()) {
        auto rotation = std::make_unique<RotationDriver>(std::move(m_driver));
        if (!rotation->initialise(m_window, params, m_record)) return false;
        m_driver = std::move(rotation);
    }
    m_width = m_driver->width();
    m_height = m_driver->height();
    m_orientation = m_driver->orientation();
    m_swap = params.swap;
    if (m_driver->swap_type() == DisplayDriver::kVideoMemory ||
        (params.swap == 2 && m_driver->swap_type() != DisplayDriver::kSystemMemory)) {
        m_own_back_buffer = Bitmap::create(m_width, m_height);
        if (!m_own_back_buffer) return false;
        m_own_back_buffer->clear(0);
    }
    m_dirty = {0, 0, m_width, m_height};
    m_driver_dirty = m_dirty;
    m_full_rows = m_width * 2 == m_driver->pitch();
    m_window.add_hook(this);
    return true;
}

Display::~Display() {
    m_window.remove_hook(this);
    if (m_hooked) unhook_window(m_window);
    m_own_back_buffer.reset();
    m_driver.reset();
}

bool Display::begin_frame() {
    if (!m_active) return false;
    if (m_locked) return true;
    m_locked = m_driver->lock();
    // The frame is drawn into the memory the pointer is on: the pointer goes first. With a
    // back buffer of its own it goes when the frame is copied.
    if (m_locked && !m_own_back_buffer) m_pointer.take_away(*m_locked);
    return m_locked != nullptr;
}

Bitmap* Display::back_buffer() {
    if (!m_locked) return nullptr;
    return m_own_back_buffer ? m_own_back_buffer.get() : m_locked;
}

bool Display::present(uint32_t flags) {
    if (!m_locked) return false;
    const Rect pointer_before = m_pointer.drawn();
    if (m_own_back_buffer) m_pointer.take_away(*m_locked);
    if (m_own_back_buffer && !m_dirty.empty()) {
        if (flags & 1) m_driver->wait_for_refresh();
        const Bitmap& from = *m_own_back_buffer;
        Bitmap& to = *m_locked;
        const size_t row_bytes = size_t(m_dirty.right - m_dirty.left) * sizeof(Pixel);
        if (m_full_rows && from.pitch() == to.pitch()) {
            std::memcpy(to.row(m_dirty.top), from.row(m_dirty.top),
                        size_t(to.pitch()) * size_t(m_dirty.bottom - m_dirty.top));
        } else {
            for (int y = m_dirty.top; y < m_dirty.bottom; ++y)
                std::memcpy(to.row(y) + m_dirty.left, from.row(y) + m_dirty.left, row_bytes);
        }
    }
    // The pointer over the new frame.
    if (m_pointer_shown) m_pointer.draw(*m_locked, m_pointer_at);
    m_locked = nullptr;
    const Rect pointer_now = m_pointer.drawn();
    if (pointer_before.empty() && pointer_now.empty()) {
        m_driver->unlock_and_show(flags);
        return true;
    }
    show_also(united(pointer_before, pointer_now), flags);
    return true;
}

void Display::show_also(Rect rect, uint32_t flags) {
    m_driver->set_dirty(clip_to(united(m_driver_dirty, rect), m_width, m_height));
    m_driver->unlock_and_show(flags);
    m_driver->set_dirty(m_driver_dirty);
}

void Display::update_pointer() {
    // Inside a frame or while suspended the next frame draws it.
    if (!m_active || m_locked) return;
    Bitmap* memory = m_driver->lock();
    if (!memory) return;
    const Rect before = m_pointer.drawn();
    m_pointer.take_away(*memory);
    if (m_pointer_shown) m_pointer.draw(*memory, m_pointer_at);
    const Rect changed = united(before, m_pointer.drawn());
    if (changed.empty()) return;
    m_driver->set_dirty(changed);
    m_driver->unlock_and_show(0);
    m_driver->set_dirty(m_driver_dirty);
}

void Display::set_dirty(std::optional<Rect> rect) {
    Rect r = rect ? clip_to(*rect, m_width, m_height) : Rect{0, 0, m_width, m_height};
    m_driver->set_dirty(r);
    m_driver_dirty = r;
    if (r.empty()) {
        m_dirty = {};
        m_full_rows = false;
        return;
    }
    r.left &= ~1;
    r.top &= ~1;
    r.right = std::min((r.right + 1) & ~1, m_width);
    r.bottom = std::min((r.bottom + 1) & ~1, m_height);
    m_dirty = r;
    m_full_rows = (r.right - r.left) * 2 == m_driver->pitch();
}

void Display::suspend() {
    m_driver->suspend();
    m_active = false;
    m_locked = nullptr;
}

void Display::resume() {
    m_active = true;
    m_locked = nullptr;
    m_driver->resume();
}

bool Display::copy_screen(Bitmap& target) const {
    const Bitmap* from = m_own_back_buffer ? m_own_back_buffer.get() : m_driver->frame();
    if (!from) return false;
    const int w = std::min(target.width(), from->width());
    const int h = std::min(target.height(), from->height());
    for (int y = 0; y < h; ++y)
        std::memcpy(target.row(y), from->row(y), size_t(w) * sizeof(Pixel));
    return true;
}

void Display::hook_message(WindowMessage& message) {
    const int r = (m_orientation - m_window.system_orientation()) & 3;
    switch (message.kind) {
        case MessageKind::Activate:
            if (message.code)
                resume();
            else
                suspend();
            break;
        case MessageKind::Paint:
            m_driver->repaint();
            break;
        case MessageKind::KeyDown:
        case MessageKind::KeyUp:
            message.code = remap_arrow_key(message.code, r);
            break;
        case MessageKind::PointerMove:
        case MessageKind::ButtonDown:
        case MessageKind::ButtonUp:
        case MessageKind::Wheel:
        case MessageKind::Pinch:
        case MessageKind::PointerShown: {
            const Point p = remap_point({message.x, message.y}, r, m_width, m_height);
            message.x = p.x;
            message.y = p.y;
            if (message.kind == MessageKind::PointerShown || (m_pointer_shown && !(p == m_pointer_at))) {
                m_pointer_shown = true;
                m_pointer_at = p;
                update_pointer();
            }
            break;
        }
        case MessageKind::PointerHidden:
            m_pointer_shown = false;
            update_pointer();
            break;
        case MessageKind::Destroy:
            m_window.remove_hook(this);
            break;
        default:
            break;
    }
}

}  // namespace vistrel
