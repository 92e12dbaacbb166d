#pragma once
// The viewer's tile renderer: three picture slots (previous, current, next), each with the
// zoomable picture that shows it and the tile source that makes its tiles; a request queue
// filled by the pictures while they draw; one worker thread at below-normal priority that
// makes one tile at a time; and a finished list emptied one tile per frame by the
// user-interface thread.
//
// Locks: S (the slots' sources, held by the worker while it makes a tile and by the
// user-interface thread while it replaces a source), Q (the request queue), F (the
// finished list), I (the idle flag). The worker takes S before Q and S before F and never
// holds Q and F together; the user-interface thread holds one of them at a time.

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>

#include "library/tiles/tile_source.h"
#include "platform/threads.h"
#include "render/bitmap.h"
#include "render/geometry.h"

namespace vistrel {

class ZoomImage;

// Where a zoomable picture sends the tiles it wants.
class TileSink {
public:
    virtual ~TileSink() = default;
    virtual void request_tile(ZoomImage& view, int level, int column, int row) = 0;
};

enum class SlotState : int {
    Ready = 0,    // the cache file exists and the source reads it
    Loading = 1,  // the cache file is still being built
    Bad = 2,      // no cache file can be built for the picture
};

struct TileRequest {
    int level = 0;
    int column = 0;
    int row = 0;
    int picture_id = 0;  // the slot's picture when the request was made
    Size tile;           // the view's tile size, which a stand-in is fitted to
    std::unique_ptr<Bitmap> result;
};

class TileRenderer final : public TileSink {
public:
    static constexpr int kSlots = 3;

    TileRenderer();
    // Stops and joins the worker before the queues go.
    ~TileRenderer() override;
    TileRenderer(const TileRenderer&) = delete;
    TileRenderer& operator=(const TileRenderer&) = delete;

    // The placeholder files are `prefix` + ".load.bmp" and ".bad.bmp".
    void set_placeholder_prefix(std::u16string prefix);
    // Called for a picture whose cache file is missing, so it is built first.
    void set_prioritizer(std::function<void(const std::u16string& picture)> prioritizer);

    void bind(int slot, ZoomImage* view);
    ZoomImage* view(int slot) const;
    // The slot showing `view`, or -1.
    int slot_of(const ZoomImage* view) const;

    // The state a slot showing `picture` takes now: whether its cache file exists, is the
    // failure marker, or is still to be built.
    static SlotState state_for(const std::u16string& picture, const std::u16string& drive);
    // Gives the slot a new picture (empty: none) and a tile source for it.
    void reset(int slot, const std::u16string& picture, const std::u16string& drive);
    // Sets the slot's view up for its source (or for placeholders over `viewer_size`).
    void restart(int slot, Size viewer_size);
    // Drops the slot's tiles and its requests.
    void release_tiles(int slot);
    // Moves the slots by one: +1 makes the next picture current (the previous slot's
    // picture falls out and becomes the new next slot), -1 the other way.
    void rotate(int direction);

    SlotState state(int slot) const { return m_slots[slot].state; }
    bool direct(int slot) const { return m_slots[slot].direct; }
    const std::u16string& picture(int slot) const { return m_slots[slot].picture; }
    // Size and levels of the slot's source (empty without one).
    Size picture_size(int slot);
    VersionSizes version_sizes(int slot);
    bool save_version(int slot, const std::u16string& file, int level);

    void request_tile(ZoomImage& view, int level, int column, int row) override;
    // Hands one finished tile to its view; false when there was none. A slot whose cache
    // file the worker found damaged first gets the source of a picture still to be built.
    bool hand_over();

    // Starts the worker (once); stop requests the end and joins it.
    void start();
    void stop();
    bool worker_running() const { return m_worker.is_running(); }

    void set_landscape(bool landscape) { m_landscape.store(landscape); }
    bool landscape() const { return m_landscape.load(); }
    bool idle_flag() const;
    void clear_idle();
    // Lets the worker sleep (unless requests are queued).
    void reset_wake();
    // Requests queued or finished tiles waiting for hand-over.
    bool pending() const;
    // The worker has nothing to do and nothing waits for hand-over.
    bool idle() const { return idle_flag() && !pending(); }
    size_t queued() const;
    size_t finished() const;

private:
    struct Slot {
        int id = 0;
        ZoomImage* view = nullptr;
        std::unique_ptr<TileSource> source;
        bool source_open = false;
        SlotState state = SlotState::Bad;
        bool direct = false;
        std::u16string picture;
        std::u16string drive;
    };

    class Worker final : public WorkerThread {
    public:
        explicit Worker(TileRenderer& owner) : m_owner(owner) {}
        ~Worker() override { join(); }

    protected:
        void run() override { m_owner.run_worker(); }

    private:
        TileRenderer& m_owner;
    };

    // A slot that reads its picture straight from the file keeps doing so once the cache
    // file is built, so that the zoom stays; the versions to send come from that file all
    // the same. The cache file opened for it, or null. Call with m_source_mutex held.
    static std::unique_ptr<TileSource> built_cache_of(const Slot& slot);

    void run_worker();
    void make_one_tile();
    // The slot holding picture `id` (null when it was reset since); call with S held or
    // from the user-interface thread.
    Slot* slot_by_id(int id);
    // The "loading" or "bad" stand-in fitted to a tile of `tile`; call with S held.
    std::unique_ptr<Bitmap> placeholder(bool loading, Size tile);
    // Drops the requests of picture `id`, except a first one in the worker's hands.
    void drop_requests(int id);
    // Gives the slot of picture `id`, whose cache file the worker found damaged, the source
    // of a picture without one (which asks for the file to be built).
    void replace_damaged(int id);

    Slot m_slots[kSlots];
    int m_next_id = 1;
    std::u16string m_placeholder_prefix;
    std::function<void(const std::u16string&)> m_prioritizer;

    mutable std::mutex m_source_mutex;  // S
    mutable std::mutex m_queue_mutex;   // Q
    mutable std::mutex m_finished_mutex;  // F
    mutable std::mutex m_idle_mutex;    // I
    std::list<TileRequest> m_queue;
    std::list<TileRequest> m_finished;
    bool m_idle = true;
    ManualResetEvent m_wake;
    std::atomic<bool> m_landscape{false};
    // A stand-in as the skin ships it, and fitted to the tile size last asked for.
    struct StandIn {
        std::unique_ptr<Bitmap> art;
        std::unique_ptr<Bitmap> fitted;
    };
    // A picture whose cache file the worker found damaged, for the user-interface thread.
    std::atomic<int> m_damaged_id{0};
    // Read once by the worker (under S).
    StandIn m_loading_stand_in;
    StandIn m_bad_stand_in;
    bool m_placeholders_read = false;
    Worker m_worker{*this};
};

// Turns a square tile by 90 degrees clockwise in place; other sizes are left as they are.
void rotate_tile_clockwise(Bitmap& tile);

}  // namespace vistrel
