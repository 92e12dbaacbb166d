#include "library/cache/level_pipeline.h"

#include <algorithm>

namespace vistrel {

int LevelPipeline::rows_per_batch(size_t row_bytes) {
    const size_t rows = kBatchBytes / std::max<size_t>(row_bytes, 1);
    return int(std::clamp<size_t>(rows, 1, kMaxBatchRows));
}

LevelPipeline::LevelPipeline(int width, int height, const std::vector<OutputStream*>& outputs,
                             int quality, std::shared_ptr<const ColourTransform> colours,
                             FullCopy full, ChainRows rows)
    : m_chain(width, height, outputs, quality, std::move(colours), full, rows),
      m_row_bytes(3 * size_t(width > 0 ? chain_row_width(width, rows) : 0)),
      m_threaded(!outputs.empty() || full.output),
      m_batch_rows(m_threaded ? rows_per_batch(m_row_bytes) : 1),
      m_batches(m_threaded ? kBatches : 1) {
    for (Batch& batch : m_batches) {
        batch.pixels.resize(m_row_bytes * size_t(m_batch_rows));
        m_free.push_back(&batch);
    }
    if (!m_chain.ok())
        m_failed = true;
    else if (m_threaded)
        m_thread = std::thread(&LevelPipeline::run, this);
}

LevelPipeline::~LevelPipeline() {
    stop();
}

void LevelPipeline::stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closed = true;
        if (!m_full.empty()) m_failed = true;  // rows left over: the levels are unfinished
        m_full.clear();
    }
    m_work.notify_all();
    m_room.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

uint8_t* LevelPipeline::next_row() {
    if (!m_filling) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_room.wait(lock, [this] { return !m_free.empty() || m_failed; });
        if (m_free.empty()) return m_batches.front().pixels.data();  // failed: rows go nowhere
        m_filling = m_free.front();
        m_free.pop_front();
        m_filling->rows = 0;
    }
    return m_filling->pixels.data() + m_row_bytes * size_t(m_filling->rows);
}

bool LevelPipeline::commit_row() {
    if (!m_filling) return false;
    if (!m_threaded) {
        m_filling = nullptr;
        m_free.push_back(&m_batches.front());
        return true;
    }
    if (++m_filling->rows == m_batch_rows) hand_over();
    return !m_failed.load(std::memory_order_relaxed);
}

void LevelPipeline::hand_over() {
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_full.push_back(m_filling);
        wake = m_full.size() >= kWakeBatches;
    }
    m_filling = nullptr;
    if (wake) m_work.notify_one();
}

void LevelPipeline::run() {
    for (;;) {
        Batch* batch = nullptr;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_work.wait(lock, [this] { return !m_full.empty() || m_closed; });
            if (m_full.empty()) break;
            batch = m_full.front();
            m_full.pop_front();
        }
        bool ok = true;
        for (int r = 0; r < batch->rows && ok; ++r)
            ok = m_chain.add_row(batch->pixels.data() + m_row_bytes * size_t(r));
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_free.push_back(batch);
            if (!ok) m_failed = true;
        }
        m_room.notify_one();
        if (!ok) break;
    }
}

bool LevelPipeline::finish() {
    if (!m_threaded) return m_chain.ok();
    {
        // The worker writes the flag under the lock; read it there too.
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_failed && !m_thread.joinable()) return false;
    }
    if (m_filling && m_filling->rows > 0) hand_over();
    {
        // Whatever waits is the last of it: the thread takes it now.
        std::unique_lock<std::mutex> lock(m_mutex);
        m_work.notify_one();
        m_room.wait(lock, [this] { return m_full.empty() || m_failed; });
        m_closed = true;
    }
    m_work.notify_all();
    if (m_thread.joinable()) m_thread.join();
    if (m_failed) return false;
    return m_chain.finish();
}

}  // namespace vistrel
