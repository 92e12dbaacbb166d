#pragma once
// A LevelChain on a thread of its own, fed with rows in batches, so that halving and
// encoding the levels overlaps decoding the picture.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "library/cache/level_chain.h"

namespace vistrel {

class LevelPipeline {
public:
    // As LevelChain (rows of chain_row_width pixels). With no outputs and no copy nothing
    // runs and rows are only passed over.
    LevelPipeline(int width, int height, const std::vector<OutputStream*>& outputs, int quality,
                  std::shared_ptr<const ColourTransform> colours = nullptr, FullCopy full = {},
                  ChainRows rows = ChainRows::FullSize);
    // Stops the thread (abandoning unfinished levels) and waits for it.
    ~LevelPipeline();
    LevelPipeline(const LevelPipeline&) = delete;
    LevelPipeline& operator=(const LevelPipeline&) = delete;

    bool ok() const { return m_chain.ok(); }
    // Where the caller puts the next row (3 bytes per pixel); valid until commit_row.
    uint8_t* next_row();
    // Hands the row on; false once the chain has failed.
    bool commit_row();
    // Waits until every row is through; false when the chain failed or is short of rows.
    bool finish();

private:
    struct Batch {
        std::vector<uint8_t> pixels;
        int rows = 0;
    };
    // A batch holds about this many bytes of rows (at least one row): enough that handing
    // it over is rare, little enough that eight of them stay small beside the levels.
    static constexpr size_t kBatchBytes = 96 * 1024;
    static constexpr int kMaxBatchRows = 32;
    static constexpr int kBatches = 8;
    // The thread is woken when this many batches wait (or at the end), not for each one:
    // it works faster than rows come, and every wake-up costs a system call.
    static constexpr size_t kWakeBatches = 6;

    static int rows_per_batch(size_t row_bytes);
    void run();
    void hand_over();  // the current batch to the thread
    void stop();

    LevelChain m_chain;
    size_t m_row_bytes;
    bool m_threaded;
    int m_batch_rows;
    std::vector<Batch> m_batches;
    Batch* m_filling = nullptr;

    std::mutex m_mutex;
    std::condition_variable m_work;  // the thread waits for full batches or the end
    std::condition_variable m_room;  // the caller waits for a free batch or the end
    std::deque<Batch*> m_full;       // waiting for the thread
    std::deque<Batch*> m_free;       // ready for the caller
    bool m_closed = false;           // no more batches will come
    // The chain failed. Written under the lock; the caller's rows look at it without.
    std::atomic<bool> m_failed{false};
    std::thread m_thread;
};

}  // namespace vistrel
