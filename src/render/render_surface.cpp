#include "render/render_surface.h"

#include <atomic>
#include <utility>

#include "platform/trace.h"
#include "render/blit.h"

namespace vistrel {
namespace {

// Live render surfaces may also be kept by worker threads, so the sum is atomic.
std::atomic<int64_t> g_surface_pixels{0};

int64_t pixel_count(const std::unique_ptr<Bitmap>& bitmap) {
    return bitmap ? int64_t(bitmap->width()) * bitmap->height() : 0;
}

}  // namespace

int64_t surface_pixel_count() {
    return g_surface_pixels.load(std::memory_order_relaxed);
}

RenderSurface::RenderSurface(Size size) {
    resize(size);
}

RenderSurface::~RenderSurface() {
    g_surface_pixels -= pixel_count(m_own_bitmap);
}

RenderSurface::RenderSurface(RenderSurface&& other) noexcept {
    *this = std::move(other);
}

RenderSurface& RenderSurface::operator=(RenderSurface&& other) noexcept {
    if (this == &other) return *this;
    // The other surface gives up its bitmap as release() would, this one adopts it.
    adopt(other.release());
    return *this;
}

void RenderSurface::check_no_clip() const {
    if (clip_depth() != 0) log_fatal("RenderSurface::recreate", "Clip is in effect, cannot resize");
}

void RenderSurface::take(std::unique_ptr<Bitmap> bitmap) {
    m_own_bitmap = std::move(bitmap);
    Bitmap* b = m_own_bitmap.get();
    set_bitmap_and_clip(b, b ? Rect{0, 0, b->width(), b->height()} : Rect{});
    g_surface_pixels += pixel_count(m_own_bitmap);
}

bool RenderSurface::resize(Size size) {
    if (m_own_bitmap ? m_own_bitmap->size() == size : size == Size{}) return false;
    g_surface_pixels -= pixel_count(m_own_bitmap);
    check_no_clip();
    m_own_bitmap.reset();
    take(Bitmap::create(size));
    return true;
}

std::unique_ptr<Bitmap> RenderSurface::release() {
    g_surface_pixels -= pixel_count(m_own_bitmap);
    check_no_clip();
    set_bitmap_and_clip(nullptr, {});
    return std::move(m_own_bitmap);
}

void RenderSurface::adopt(std::unique_ptr<Bitmap> bitmap) {
    g_surface_pixels -= pixel_count(m_own_bitmap);
    check_no_clip();
    // Handing back the bitmap we already own must not free it twice.
    if (bitmap.get() == m_own_bitmap.get())
        (void)bitmap.release();
    else
        m_own_bitmap = std::move(bitmap);
    take(std::move(m_own_bitmap));
}

Size RenderSurface::size() const {
    return m_own_bitmap ? m_own_bitmap->size() : Size{};
}

void RenderSurface::draw_to(Surface& target, Point position, const PixelOp& op) const {
    if (m_own_bitmap) blit(target, position, m_own_bitmap->size(), *m_own_bitmap, {0, 0}, op);
}

void RenderSurface::draw_scaled_to(Surface& target, Point position, Size size,
                                   const PixelOp& op) const {
    if (m_own_bitmap)
        stretch_blit(target, position, size, *m_own_bitmap, {0, 0}, m_own_bitmap->size(), op);
}

}  // namespace vistrel
