#include "screens/cell_pictures.h"

#include <algorithm>

#include "library/cache/smallest_level.h"
#include "platform/threads.h"
#include "render/blit.h"
#include "render/picture.h"
#include "render/surface.h"

namespace vistrel {

PictureReference stretched_picture(const PictureReference& picture, Size size,
                                   const std::u16string& name) {
    const Size natural = picture.natural_size();
    if (picture.empty() || size.empty() || natural.empty()) return {};
    std::unique_ptr<Bitmap> flat = Bitmap::create(natural);
    std::unique_ptr<Bitmap> out = Bitmap::create(size);
    if (!flat || !out) return {};
    Surface flat_surface(flat.get());
    picture.draw(flat_surface, {0, 0}, natural, CopyOp());
    Surface surface(out.get());
    stretch_blit(surface, {0, 0}, size, *flat, {0, 0}, natural, CopyOp());
    return PictureReference::whole(PictureHandle(std::make_shared<Picture>(std::move(out), name)));
}

PictureReference capped_picture(const PictureReference& picture) {
    PictureReference capped = picture;
    const Size natural = picture.natural_size();
    capped.p1 = {picture.p0.x + natural.w / 4, picture.p0.y + natural.h / 4};
    capped.p2 = {picture.p3.x - natural.w / 4, picture.p3.y - natural.h / 4};
    return capped;
}

PictureReference cell_picture(const Bitmap& level, Size size, const PictureReference& frame) {
    const int width = level.size().w, height = level.size().h;
    if (size.empty() || width < 1 || height < 1) return {};
    const int side = std::min(width, height);
    const Point corner{(width - side) / 2, width < height ? 0 : (height - side) / 2};
    std::unique_ptr<Bitmap> out = Bitmap::create(size);
    if (!out) return {};
    Surface surface(out.get());
    stretch_blit(surface, {0, 0}, size, level, corner, {side, side}, CopyOp());
    frame.draw(surface, {0, 0}, size, MaskComposeOp(0));
    return PictureReference::whole(PictureHandle(std::make_shared<Picture>(std::move(out), u"cell")));
}

// --- CellPictureLoader ---

CellPictureLoader::~CellPictureLoader() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

uint32_t CellPictureLoader::restart(Size size, const PictureReference& frame) {
    std::lock_guard lock(m_mutex);
    m_waiting.clear();
    m_done.clear();
    m_size = size;
    m_frame = frame;
    return ++m_generation;
}

void CellPictureLoader::request(int key, const std::u16string& picture,
                                const std::u16string& drive) {
    {
        std::lock_guard lock(m_mutex);
        m_waiting.push_back({key, m_generation, picture, drive});
        while (m_waiting.size() > kMaxWaiting)
            m_waiting.pop_front();
        if (!m_thread.joinable()) m_thread = std::thread([this] { run(); });
    }
    m_wake.notify_one();
}

std::vector<CellPictureLoader::Done> CellPictureLoader::take_done() {
    std::vector<Done> done;
    std::lock_guard lock(m_mutex);
    done.swap(m_done);
    std::erase_if(done, [&](const Done& d) { return d.generation != m_generation; });
    return done;
}

PictureReference CellPictureLoader::frame() {
    std::lock_guard lock(m_mutex);
    return m_frame;
}

bool CellPictureLoader::idle() {
    std::lock_guard lock(m_mutex);
    return m_waiting.empty() && m_done.empty() && !m_busy;
}

void CellPictureLoader::run() {
    set_thread_priority(-1);
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [&] { return m_stop || !m_waiting.empty(); });
        if (m_stop) return;
        const Request request = std::move(m_waiting.back());
        m_waiting.pop_back();
        const Size size = m_size;
        const PictureReference frame = m_frame;
        if (request.generation != m_generation) continue;
        m_busy = true;
        lock.unlock();
        Done done{request.key, request.generation, {}};
        if (const std::unique_ptr<Bitmap> level =
                load_smallest_level(request.picture, request.drive, std::min(size.w, size.h)))
            done.picture = cell_picture(*level, size, frame);
        lock.lock();
        m_busy = false;
        if (done.generation == m_generation) m_done.push_back(std::move(done));
    }
}

// --- CellPictureCache ---

size_t CellPictureCache::bytes_of(const PictureReference& picture) {
    const Size size = picture.picture.size();
    return size_t(std::max(size.w, 0)) * size_t(std::max(size.h, 0)) * sizeof(Pixel) + 64;
}

const PictureReference* CellPictureCache::find(int key) {
    const auto it = m_where.find(key);
    if (it == m_where.end()) return nullptr;
    m_order.splice(m_order.begin(), m_order, it->second);
    return &it->second->second;
}

void CellPictureCache::put(int key, PictureReference picture) {
    erase(key);
    m_bytes += bytes_of(picture);
    m_order.emplace_front(key, std::move(picture));
    m_where[key] = m_order.begin();
    trim();
}

void CellPictureCache::erase(int key) {
    const auto it = m_where.find(key);
    if (it == m_where.end()) return;
    m_bytes -= bytes_of(it->second->second);
    m_order.erase(it->second);
    m_where.erase(it);
}

void CellPictureCache::clear() {
    m_order.clear();
    m_where.clear();
    m_bytes = 0;
}

void CellPictureCache::set_budget(size_t bytes) {
    m_budget = bytes;
    trim();
}

void CellPictureCache::trim() {
    // The most recent picture always stays.
    while (m_bytes > m_budget && m_order.size() > 1) {
        m_bytes -= bytes_of(m_order.back().second);
        m_where.erase(m_order.back().first);
        m_order.pop_back();
    }
}

}  // namespace vistrel
