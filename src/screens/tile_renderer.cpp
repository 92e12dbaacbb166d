#include "screens/tile_renderer.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "library/cache/cache_file.h"
#include "library/tiles/cache_tile_source.h"
#include "library/tiles/direct_tile_source.h"
#include "platform/file_stream.h"
#include "platform/path_parts.h"
#include "platform/paths.h"
#include "render/blit.h"
#include "render/bmp_file.h"
#include "render/render_surface.h"
#include "screens/stand_in.h"
#include "screens/zoom_image.h"

namespace vistrel {

namespace {

std::unique_ptr<Bitmap> copy_of(const Bitmap& bitmap) {
    auto copy = Bitmap::create(bitmap.size());
    if (!copy) return nullptr;
    const size_t row_bytes = static_cast<size_t>(bitmap.width()) * sizeof(Pixel);
    for (int y = 0; y < bitmap.height(); ++y) std::memcpy(copy->row(y), bitmap.row(y), row_bytes);
    return copy;
}

std::unique_ptr<Bitmap> read_placeholder(const std::u16string& path) {
    if (!is_regular_file(path)) return nullptr;
    FileStream reader(path, OpenMode::Read);
    if (!reader.is_open()) return nullptr;
    return read_bmp_565(reader);
}

}  // namespace

void rotate_tile_clockwise(Bitmap& tile) {
    const int n = tile.width();
    if (n != tile.height() || n == 0) return;
    auto scratch = Bitmap::create(n, n);
    if (!scratch) return;
    for (int i = 0; i < n; ++i) {
        const Pixel* src = tile.row(i);
        const int column = n - 1 - i;
        for (int j = 0; j < n; ++j) scratch->row(j)[column] = src[j];
    }
    const CopyOp copy;
    blit(tile, {0, 0}, tile.size(), *scratch, {0, 0}, Rect{0, 0, n, n}, copy);
}

TileRenderer::TileRenderer() = default;

TileRenderer::~TileRenderer() {
    stop();
}

void TileRenderer::set_placeholder_prefix(std::u16string prefix) {
    std::scoped_lock lock(m_source_mutex);
    m_placeholder_prefix = std::move(prefix);
    m_placeholders_read = false;
    m_loading_stand_in = {};
    m_bad_stand_in = {};
}

void TileRenderer::set_prioritizer(std::function<void(const std::u16string&)> prioritizer) {
    m_prioritizer = std::move(prioritizer);
}

void TileRenderer::bind(int slot, ZoomImage* view) {
    m_slots[slot].view = view;
    if (view) view->set_sink(this);
}

ZoomImage* TileRenderer::view(int slot) const {
    return m_slots[slot].view;
}

int TileRenderer::slot_of(const ZoomImage* view) const {
    for (int i = 0; i < kSlots; ++i)
        if (m_slots[i].view == view) return i;
    return -1;
}

TileRenderer::Slot* TileRenderer::slot_by_id(int id) {
    for (Slot& slot : m_slots)
        if (slot.id == id) return &slot;
    return nullptr;
}

SlotState TileRenderer::state_for(const std::u16string& picture, const std::u16string& drive) {
    const std::u16string cache = cache_file_name(picture, drive);
    if (cache.empty() || is_failed_thumbnail(cache)) return SlotState::Bad;
    return file_info(cache).exists ? SlotState::Ready : SlotState::Loading;
}

void TileRenderer::reset(int index, const std::u16string& picture, const std::u16string& drive) {
    Slot& slot = m_slots[index];
    const int old_id = slot.id;
    std::unique_ptr<TileSource> source;
    bool open = false;
    bool direct = false;
    SlotState state = SlotState::Bad;
    bool ask_for_cache = false;
    // The picture file itself as the source; `direct` tells whether it opened.
    auto open_direct = [&] {
        source = std::make_unique<DirectTileSource>(picture);
        open = source->open();
        direct = open;
    };
    if (picture.empty()) {
        // No picture: nothing to show.
    } else if (const SlotState now = state_for(picture, drive); now == SlotState::Bad) {
        trace() << "reset PieceCrt2 begin\n";
        open_direct();
        trace() << "reset PieceCrt2\n";
    } else if (now == SlotState::Ready) {
        source = std::make_unique<CacheTileSource>(picture, drive);
        open = source->open();
        if (open) {
            state = SlotState::Ready;
            direct = false;
        } else if (source->damaged()) {
            // The cache file was not as written and is gone: as while it is being built.
            trace() << "reset damaged cache\n";
            open_direct();
            state = SlotState::Loading;
            ask_for_cache = true;
        } else {
            // A damaged cache file: show the picture straight from its file when it can be
            // read, else the "bad" placeholder.
            trace() << "Bad picture in creation\n";
            open_direct();
        }
        trace() << "reset\n";
    } else {
        trace() << "reset PieceCrt1 begin\n";
        open_direct();
        trace() << "reset PieceCrt1\n";
        state = SlotState::Loading;
        ask_for_cache = true;
    }
    {
        std::scoped_lock lock(m_source_mutex);
        slot.id = m_next_id++;
        slot.source = std::move(source);
        slot.source_open = open;
        slot.state = state;
        slot.direct = direct;
        slot.picture = picture;
        slot.drive = drive;
    }
    drop_requests(old_id);
    if (ask_for_cache && m_prioritizer) m_prioritizer(picture);
}

void TileRenderer::restart(int index, Size viewer_size) {
    Slot& slot = m_slots[index];
    if (!slot.view) return;
    if (slot.picture.empty()) {
        slot.view->clear();
        return;
    }
    const bool landscape = m_landscape.load();
    if ((slot.state == SlotState::Ready || slot.direct) && slot.source_open) {
        const Size size{slot.source->width(), slot.source->height()};
        slot.view->set_up({TileSource::kTileSize, TileSource::kTileSize}, size,
                          slot.source->levels(), landscape);
        if (!landscape) trace() << "restart " << index << "\n";
    } else {
        slot.view->set_up({64, 64}, viewer_size, 0, false);
    }
}

void TileRenderer::release_tiles(int index) {
    Slot& slot = m_slots[index];
    if (slot.view) slot.view->release_tiles();
    // Tiles made from now on belong to a new picture id; those under way are dropped.
    int old_id = 0;
    {
        std::scoped_lock lock(m_source_mutex);
        old_id = slot.id;
        slot.id = m_next_id++;
    }
    drop_requests(old_id);
}

void TileRenderer::drop_requests(int id) {
    {
        std::scoped_lock lock(m_queue_mutex);
        if (m_queue.size() > 1)
            m_queue.remove_if([&, first = &m_queue.front()](const TileRequest& request) {
                return &request != first && request.picture_id == id;
            });
    }
    std::scoped_lock lock(m_finished_mutex);
    m_finished.remove_if([id](const TileRequest& request) { return request.picture_id == id; });
}

void TileRenderer::rotate(int direction) {
    std::scoped_lock lock(m_source_mutex);
    if (direction > 0) {
        Slot first = std::move(m_slots[0]);
        m_slots[0] = std::move(m_slots[1]);
        m_slots[1] = std::move(m_slots[2]);
        m_slots[2] = std::move(first);
    } else if (direction < 0) {
        Slot last = std::move(m_slots[2]);
        m_slots[2] = std::move(m_slots[1]);
        m_slots[1] = std::move(m_slots[0]);
        m_slots[0] = std::move(last);
    }
}

Size TileRenderer::picture_size(int index) {
    std::scoped_lock lock(m_source_mutex);
    const Slot& slot = m_slots[index];
    if (!slot.source || !slot.source_open) return {};
    return {slot.source->width(), slot.source->height()};
}

std::unique_ptr<TileSource> TileRenderer::built_cache_of(const Slot& slot) {
    if (!slot.direct || state_for(slot.picture, slot.drive) != SlotState::Ready) return nullptr;
    auto cache = std::make_unique<CacheTileSource>(slot.picture, slot.drive);
    if (!cache->open()) return nullptr;
    return cache;
}

VersionSizes TileRenderer::version_sizes(int index) {
    std::scoped_lock lock(m_source_mutex);
    const Slot& slot = m_slots[index];
    if (!slot.source || !slot.source_open) return {};
    if (const std::unique_ptr<TileSource> cache = built_cache_of(slot))
        return cache->version_sizes();
    return slot.source->version_sizes();
}

bool TileRenderer::save_version(int index, const std::u16string& file, int level) {
    std::scoped_lock lock(m_source_mutex);
    Slot& slot = m_slots[index];
    if (!slot.source || !slot.source_open) return false;
    const std::unique_ptr<TileSource> cache = built_cache_of(slot);
    TileSource& source = cache ? *cache : *slot.source;
    const bool saved = source.save_version(file, level);
    // A damaged cache file is built again, as when a tile finds it.
    if (source.damaged()) m_damaged_id.store(slot.id);
    return saved;
}

void TileRenderer::request_tile(ZoomImage& view, int level, int column, int row) {
    for (int i = 0; i < kSlots; ++i) {
        Slot& slot = m_slots[i];
        if (slot.view != &view) continue;
        TileRequest request;
        request.level = level;
        request.column = column;
        request.row = row;
        request.picture_id = slot.id;
        request.tile = view.tile_size();
        trace() << "add tile " << file_name_part(slot.picture) << " " << level << " " << column
                << " " << row << "\n";
        std::scoped_lock lock(m_queue_mutex);
        // Drop what is no longer wanted and put the rest nearest the centre first; the
        // first request may be in the worker's hands and stays where it is.
        if (m_queue.size() > 1) {
            auto rest = std::next(m_queue.begin());
            std::list<TileRequest> kept;
            std::vector<std::pair<int64_t, std::list<TileRequest>::iterator>> order;
            for (auto it = rest; it != m_queue.end(); ++it) {
                Slot* owner = slot_by_id(it->picture_id);
                int64_t priority = 0;
                if (owner && owner->view &&
                    owner->view->is_tile_wanted(it->level, it->column, it->row, priority))
                    order.emplace_back(priority, it);
            }
            std::stable_sort(order.begin(), order.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
            for (auto& entry : order) kept.splice(kept.end(), m_queue, entry.second);
            m_queue.erase(std::next(m_queue.begin()), m_queue.end());
            m_queue.splice(m_queue.end(), kept);
        }
        const bool queued = std::any_of(m_queue.begin(), m_queue.end(), [&](const TileRequest& r) {
            return r.picture_id == request.picture_id && r.level == level && r.column == column &&
                   r.row == row;
        });
        if (queued) {
            trace() << "clear\n";
        } else {
            m_queue.push_back(std::move(request));
            trace() << "realy add\n";
            m_wake.set();
        }
    }
}

void TileRenderer::replace_damaged(int id) {
    Slot* slot = slot_by_id(id);
    if (!slot) return;
    const int index = static_cast<int>(slot - m_slots);
    const std::u16string picture = slot->picture;
    const std::u16string drive = slot->drive;
    reset(index, picture, drive);
    // The tiles asked of the damaged source are asked again of the new one.
    if (slot->view) slot->view->release_tiles();
}

bool TileRenderer::hand_over() {
    if (const int damaged = m_damaged_id.exchange(0); damaged != 0) replace_damaged(damaged);
    TileRequest request;
    {
        std::scoped_lock lock(m_finished_mutex);
        if (m_finished.empty()) return false;
        request = std::move(m_finished.front());
        m_finished.pop_front();
    }
    Slot* slot = slot_by_id(request.picture_id);
    if (!slot || !slot->view || !request.result) return true;
    RenderSurface surface;
    surface.adopt(std::move(request.result));
    slot->view->accept_tile(request.level, request.column, request.row, std::move(surface));
    trace() << "found " << file_name_part(slot->picture) << " " << request.level << " "
            << request.column << " " << request.row << "\n";
    return true;
}

void TileRenderer::start() {
    if (m_worker.is_running()) return;
    m_worker.start();
}

void TileRenderer::stop() {
    {
        // Under Q, so that the worker cannot reset the wake event after this.
        std::scoped_lock lock(m_queue_mutex);
        m_worker.request_stop();
        m_wake.set();
    }
    m_worker.join();
}

void TileRenderer::reset_wake() {
    // With requests still queued the worker must not fall asleep over them.
    std::scoped_lock lock(m_queue_mutex);
    if (m_queue.empty()) m_wake.reset();
}

bool TileRenderer::idle_flag() const {
    std::scoped_lock lock(m_idle_mutex);
    return m_idle;
}

void TileRenderer::clear_idle() {
    std::scoped_lock lock(m_idle_mutex);
    m_idle = false;
}

bool TileRenderer::pending() const {
    {
        std::scoped_lock lock(m_queue_mutex);
        if (!m_queue.empty()) return true;
    }
    std::scoped_lock lock(m_finished_mutex);
    return !m_finished.empty();
}

size_t TileRenderer::queued() const {
    std::scoped_lock lock(m_queue_mutex);
    return m_queue.size();
}

size_t TileRenderer::finished() const {
    std::scoped_lock lock(m_finished_mutex);
    return m_finished.size();
}

void TileRenderer::run_worker() {
    m_worker.set_priority(-1);
    trace() << "run start\n";
    m_wake.wait();
    trace() << "run begin\n";
    while (!m_worker.stop_requested()) {
        trace() << "run create_tile start\n";
        make_one_tile();
        trace() << "run create_tile end\n";
        bool empty = false;
        {
            std::scoped_lock lock(m_queue_mutex);
            if (m_queue.empty() && !m_worker.stop_requested()) {
                empty = true;
                m_wake.reset();
                std::scoped_lock idle(m_idle_mutex);
                m_idle = true;
            }
        }
        if (empty) {
            m_wake.wait();
            trace() << "run begin\n";
        }
    }
}

std::unique_ptr<Bitmap> TileRenderer::placeholder(bool loading, Size tile) {
    if (!m_placeholders_read) {
        m_placeholders_read = true;
        if (!m_placeholder_prefix.empty()) {
            m_loading_stand_in.art = read_placeholder(m_placeholder_prefix + u".load.bmp");
            m_bad_stand_in.art = read_placeholder(m_placeholder_prefix + u".bad.bmp");
        }
    }
    StandIn& stand_in = loading ? m_loading_stand_in : m_bad_stand_in;
    if (!stand_in.art) return nullptr;
    // Cells of another size than the art show it whole, not its top-left corner.
    if (!stand_in.fitted || stand_in.fitted->size() != tile)
        stand_in.fitted = fit_stand_in(*stand_in.art, tile);
    return stand_in.fitted ? copy_of(*stand_in.fitted) : nullptr;
}

void TileRenderer::make_one_tile() {
    std::scoped_lock sources(m_source_mutex);
    std::list<TileRequest> taken;
    TileRequest* request = nullptr;
    {
        std::scoped_lock lock(m_queue_mutex);
        if (m_queue.empty()) return;
        request = &m_queue.front();
    }
    std::unique_ptr<Bitmap> tile;
    if (Slot* slot = slot_by_id(request->picture_id)) {
        if (slot->state == SlotState::Loading && !slot->direct) {
            tile = placeholder(true, request->tile);
        } else if (slot->state == SlotState::Ready || slot->direct) {
            if (slot->source_open)
                tile = slot->source->make_tile(request->column, request->row, request->level);
            if (!tile && slot->source_open && slot->source->damaged()) {
                // Its cache file is gone: the user-interface thread gives the slot another
                // source and asks for the file to be built again.
                m_damaged_id.store(slot->id);
                tile = placeholder(true, request->tile);
            }
            if (!tile) tile = placeholder(false, request->tile);
        } else {
            tile = placeholder(false, request->tile);
        }
        if (tile && m_landscape.load()) rotate_tile_clockwise(*tile);
    }
    request->result = std::move(tile);
    {
        std::scoped_lock lock(m_queue_mutex);
        taken.splice(taken.end(), m_queue, m_queue.begin());
    }
    std::scoped_lock lock(m_finished_mutex);
    m_finished.splice(m_finished.end(), taken);
}

}  // namespace vistrel
