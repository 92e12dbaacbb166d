// The tile cache and the drawing of the zoomable picture.

#include <algorithm>
#include <cmath>

#include "render/blit.h"
#include "screens/tile_renderer.h"
#include "screens/zoom_image.h"
#include "skin/element_registry.h"

namespace vistrel {

namespace {

constexpr double kEpsilon = 1e-6;

bool meets(const Rect& a, const Rect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

}  // namespace

int ZoomImage::capacity() const {
    // Tiles are drawn down to 1/sqrt(2) of their size (the nearest level is in use).
    const double least = std::sqrt(0.5);
    return (static_cast<int>(height() / (m_tile.h * least)) + 3) *
           (static_cast<int>(width() / (m_tile.w * least)) + 3);
}

int ZoomImage::ready_tiles() const {
    return static_cast<int>(
        std::count_if(m_cache.begin(), m_cache.end(), [](const CacheSlot& s) { return s.ready; }));
}

void ZoomImage::release_tiles() {
    m_cache.clear();
    m_screen_complete = false;
    mark_dirty();
}

ZoomImage::CacheSlot* ZoomImage::find_slot(int level, int column, int row) {
    for (CacheSlot& slot : m_cache)
        if (slot.level == level && slot.column == column && slot.row == row) return &slot;
    return nullptr;
}

const ZoomImage::CacheSlot* ZoomImage::find_slot(int level, int column, int row) const {
    return const_cast<ZoomImage*>(this)->find_slot(level, column, row);
}

ZoomImage::CacheSlot* ZoomImage::take_slot(int level, int column, int row) {
    CacheSlot* slot = nullptr;
    if (static_cast<int>(m_cache.size()) < capacity()) {
        slot = &m_cache.emplace_back();
    } else {
        // The slot used longest ago, unless every one is on screen this frame.
        for (CacheSlot& candidate : m_cache)
            if (candidate.last_use < m_frame && (!slot || candidate.last_use < slot->last_use))
                slot = &candidate;
        if (!slot) return nullptr;
        slot->surface = RenderSurface();
    }
    slot->level = level;
    slot->column = column;
    slot->row = row;
    slot->requested = false;
    slot->ready = false;
    slot->last_use = m_frame;
    return slot;
}

Rect ZoomImage::tile_rect(int level, int column, int row, Point origin) const {
    const double f = std::exp2(m_zoom - level);
    const double tw = m_tile.w * f, th = m_tile.h * f;
    const double left = picture_left(origin), top = picture_top(origin);
    if (!m_turned)
        return {int(std::floor(left + column * tw)), int(std::floor(top + row * th)),
                int(std::floor(left + (column + 1) * tw)), int(std::floor(top + (row + 1) * th))};
    // Turned clockwise: stored rows run right to left, stored columns top to bottom.
    const double right = left + level_size(level).h * f;
    return {int(std::floor(right - (row + 1) * th)), int(std::floor(top + column * tw)),
            int(std::floor(right - row * th)), int(std::floor(top + (column + 1) * tw))};
}

bool ZoomImage::is_tile_wanted(int level, int column, int row, int64_t& priority) const {
    const CacheSlot* slot = find_slot(level, column, row);
    if (!slot || slot->ready) return false;
    const Rect r = tile_rect(level, column, row, m_origin);
    const int64_t cx = (r.left + r.right) / 2 - (m_origin.x + width() / 2);
    const int64_t cy = (r.top + r.bottom) / 2 - (m_origin.y + height() / 2);
    priority = cx * cx + cy * cy;
    return true;
}

void ZoomImage::accept_tile(int level, int column, int row, RenderSurface surface) {
    CacheSlot* slot = find_slot(level, column, row);
    if (!slot || slot->ready) return;
    slot->surface = std::move(surface);
    slot->requested = false;
    slot->ready = true;
    mark_dirty();
}

void ZoomImage::draw(Surface& surface, Point origin) {
    ++m_frame;
    const Point o{origin.x + m_shift.x, origin.y + m_shift.y};
    m_origin = o;
    ClipScope element_clip(surface, o, size());
    surface.fill(o, size(), m_empty_color);
    m_screen_complete = true;
    if (!has_picture() || surface.clip().empty()) return;
    if (!(size() == m_fitted_size)) {
        // The element grew or shrank: a fitted picture stays fitted, no picture gets smaller
        // than its fit.
        const double fit = fit_zoom();
        const bool still = std::abs(m_zoom - m_target_zoom) <= kEpsilon;
        if (still && (m_was_fitted || m_zoom < fit - kEpsilon)) m_zoom = m_target_zoom = fit;
        m_fitted_size = size();
        clamp_center();
    }
    m_was_fitted = std::abs(m_zoom - fit_zoom()) <= kEpsilon;
    const Rect picture = [&] {
        Rect r = picture_rect();
        const int dx = o.x - (x() + m_shift.x), dy = o.y - (y() + m_shift.y);
        return Rect{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
    }();
    ClipScope picture_clip(surface, picture.top_left(), {picture.right - picture.left,
                                                        picture.bottom - picture.top});
    const Rect clip = surface.clip();
    if (clip.empty()) return;
    const int level = level_in_use();
    const Size size = level_size(level);
    const int columns = (size.w + m_tile.w - 1) / m_tile.w;
    const int rows = (size.h + m_tile.h - 1) / m_tile.h;
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column)
            if (meets(tile_rect(level, column, row, o), clip))
                draw_tile(surface, o, level, column, row);
}

void ZoomImage::draw_tile(Surface& surface, Point origin, int level, int column, int row) {
    const Rect rect = tile_rect(level, column, row, origin);
    const Size size{rect.right - rect.left, rect.bottom - rect.top};
    const bool still = !moving();
    CacheSlot* slot = find_slot(level, column, row);
    if (!slot && still) slot = take_slot(level, column, row);
    if (slot) {
        slot->last_use = m_frame;
        if (!slot->requested && !slot->ready && still && m_sink) {
            slot->requested = true;
            m_sink->request_tile(*this, level, column, row);
            // The sink may have handed the tile over at once.
            slot = find_slot(level, column, row);
        }
    }
    const CopyOp copy;
    if (slot && slot->ready) {
        if (std::abs(m_zoom - level) <= kEpsilon)
            slot->surface.draw_to(surface, rect.top_left(), copy);
        else
            slot->surface.draw_scaled_to(surface, rect.top_left(), size, copy);
        return;
    }
    m_screen_complete = false;
    ClipScope tile_clip(surface, rect.top_left(), size);
    if (!draw_fill_in(surface, origin, level, column, row, rect))
        m_empty.draw_scaled_to(surface, rect.top_left(), size, copy);
}

bool ZoomImage::draw_fill_in(Surface& surface, Point origin, int level, int column, int row,
                             const Rect& rect) {
    const CopyOp copy;
    auto draw_whole = [&](const CacheSlot& slot) {
        const Rect r = tile_rect(slot.level, slot.column, slot.row, origin);
        slot.surface.draw_scaled_to(surface, r.top_left(), {r.right - r.left, r.bottom - r.top},
                                    copy);
        slot_used(slot);
    };
    // The four tiles of the next finer level, when all of them that exist are ready.
    std::vector<const CacheSlot*> finer;
    bool finer_complete = level < m_max_level;
    if (finer_complete) {
        const Size size = level_size(level + 1);
        for (int j = 0; j < 2; ++j)
            for (int i = 0; i < 2; ++i) {
                const int c = 2 * column + i, r = 2 * row + j;
                if (c * m_tile.w >= size.w || r * m_tile.h >= size.h) continue;
                const CacheSlot* slot = find_slot(level + 1, c, r);
                if (slot && slot->ready)
                    finer.push_back(slot);
                else
                    finer_complete = false;
            }
    }
    if (finer_complete && !finer.empty()) {
        for (const CacheSlot* slot : finer) draw_whole(*slot);
        return true;
    }
    // The nearest coarser level that is ready, enlarged.
    for (int a = 1; a <= level; ++a) {
        const CacheSlot* slot = find_slot(level - a, column >> a, row >> a);
        if (slot && slot->ready) {
            draw_whole(*slot);
            for (const CacheSlot* f : finer) draw_whole(*f);
            return true;
        }
    }
    if (finer.empty()) return false;
    m_empty.draw_scaled_to(surface, rect.top_left(),
                             {rect.right - rect.left, rect.bottom - rect.top}, copy);
    for (const CacheSlot* f : finer) draw_whole(*f);
    return true;
}

void ZoomImage::slot_used(const CacheSlot& slot) {
    const_cast<CacheSlot&>(slot).last_use = m_frame;
}

namespace {

Element* make_zoom_image(Element* parent) {
    // The parent owns the element (a null parent leaves it to the caller).
    return new ZoomImage(parent);
}

}  // namespace

void register_bigpicture_kind(ElementRegistry& registry) {
    registry.register_kind(u"bigpicture", make_zoom_image);
}

void unregister_bigpicture_kind(ElementRegistry& registry) {
    registry.unregister_kind(u"bigpicture");
}

}  // namespace vistrel
