#pragma once
// Pictures of large grid cells: the smallest level of a picture's cache file, cropped to a
// square, scaled to the cell and framed. A thread of its own reads and decodes them, the
// most recent request first; the interface thread asks, collects what is done and keeps
// the results in a cache bounded in bytes.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "render/bitmap.h"
#include "render/geometry.h"
#include "skin/picture_reference.h"

namespace vistrel {

// `picture` drawn into a new bitmap of `size` (nearest pixels, so key and flag bits stay):
// the skin's frame, loading and bad pictures at a cell's size. Empty for an empty size.
PictureReference stretched_picture(const PictureReference& picture, Size size,
                                   const std::u16string& name = {});

// `picture` cut into caps of a quarter of its size and a repeated middle: a frame drawn
// larger keeps its corners as they are.
PictureReference capped_picture(const PictureReference& picture);

// The square of `level` a cell shows (centred, portrait pictures from their top, as the
// 64 x 64 thumbnail is cut), scaled to `size` with `frame` laid over it.
PictureReference cell_picture(const Bitmap& level, Size size, const PictureReference& frame);

class CellPictureLoader {
public:
    struct Done {
        int key = 0;
        uint32_t generation = 0;
        PictureReference picture;  // empty when the level could not be read
    };

    CellPictureLoader() = default;
    ~CellPictureLoader();
    CellPictureLoader(const CellPictureLoader&) = delete;
    CellPictureLoader& operator=(const CellPictureLoader&) = delete;

    // Cells from now on are `size` with `frame` over them; requests waiting are dropped
    // and results of earlier generations are not handed out. Returns the new generation.
    uint32_t restart(Size size, const PictureReference& frame);
    // Asks for picture `key` of the current generation; the newest request is served
    // first, and the oldest are dropped beyond `kMaxWaiting`.
    void request(int key, const std::u16string& picture, const std::u16string& drive);
    // The pictures made since the last call, of the current generation.
    std::vector<Done> take_done();
    uint32_t generation() const { return m_generation; }
    // The frame of the current generation.
    PictureReference frame();
    // Nothing is waiting, being made or made and not yet taken.
    bool idle();

    static constexpr size_t kMaxWaiting = 512;

private:
    struct Request {
        int key = 0;
        uint32_t generation = 0;
        std::u16string picture;
        std::u16string drive;
    };
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Request> m_waiting;  // newest at the back
    std::vector<Done> m_done;
    Size m_size;
    PictureReference m_frame;
    uint32_t m_generation = 0;  // written only by the interface thread, under the lock
    bool m_stop = false;
    bool m_busy = false;  // the thread is making a picture
    std::thread m_thread;
};

// The interface thread's cache of cell pictures by key, the least recently used dropped
// first once they take more than the budget in bytes.
class CellPictureCache {
public:
    explicit CellPictureCache(size_t budget_bytes) : m_budget(budget_bytes) {}
    // Null when absent; a hit becomes the most recently used.
    const PictureReference* find(int key);
    void put(int key, PictureReference picture);
    void erase(int key);
    void clear();
    void set_budget(size_t bytes);
    size_t bytes() const { return m_bytes; }
    size_t count() const { return m_order.size(); }

private:
    static size_t bytes_of(const PictureReference& picture);
    void trim();

    size_t m_budget;
    size_t m_bytes = 0;
    std::list<std::pair<int, PictureReference>> m_order;  // most recent first
    std::unordered_map<int, std::list<std::pair<int, PictureReference>>::iterator> m_where;
};

}  // namespace vistrel
