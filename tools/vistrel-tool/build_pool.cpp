#include "build_pool.h"

namespace vistrel::tool {

BuildPool::BuildPool(int builders, StopTest stop) : m_stop(std::move(stop)) {
    for (int i = 0; i < std::max(builders, 1); ++i)
        m_threads.emplace_back(&BuildPool::run, this);
}

BuildPool::~BuildPool() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closing = true;
    }
    m_changed.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
}

void BuildPool::add(const std::u16string& picture, const std::u16string& drive) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_waiting.empty() || m_closing; });
    if (m_closing) return;
    m_waiting.push_back({picture, drive});
    m_changed.notify_all();
}

void BuildPool::wait() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return (m_waiting.empty() && m_busy == 0) || m_closing; });
}

int BuildPool::done() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_results.size());
}

std::vector<BuildPool::Result> BuildPool::results() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_results;
}

void BuildPool::run() {
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait(lock, [this] { return !m_waiting.empty() || m_closing; });
            if (m_closing) return;
            job = std::move(m_waiting.front());
            m_waiting.pop_front();
            ++m_busy;
        }
        m_changed.notify_all();  // room for the next picture
        const CacheProblem problem = build_cache_file_for(job.picture, job.drive, m_stop);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            --m_busy;
            m_results.push_back({std::move(job.picture), problem});
        }
        m_changed.notify_all();
    }
}

}  // namespace vistrel::tool
