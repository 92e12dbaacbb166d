#include "library/build_pool.h"

#include <algorithm>

#include "platform/threads.h"

namespace vistrel {

namespace {
constexpr int kMaxBuildThreads = 8;
}

int default_build_threads(int limit) {
    int threads = std::clamp(int(std::thread::hardware_concurrency()), 1, kMaxBuildThreads);
    if (limit > 0) threads = std::min(threads, limit);
    return threads;
}

BuildPool::BuildPool(int threads, int priority) : m_count(std::max(threads, 1)) {
    for (int i = 1; i < m_count; ++i)
        m_threads.emplace_back(&BuildPool::helper, this, i, priority);
}

BuildPool::~BuildPool() {
    {
        std::scoped_lock lock(m_mutex);
        m_closing = true;
    }
    m_changed.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
}

void BuildPool::run(const Work& work) {
    std::unique_lock lock(m_mutex);
    m_work = &work;
    ++m_round;
    m_pokes = 0;
    m_idle = 0;
    m_left = 0;
    m_round_over = false;
    m_changed.notify_all();
    take_part(lock, 0);
    m_changed.wait(lock, [this] { return m_left == m_count; });
    m_work = nullptr;
}

void BuildPool::poke() {
    {
        std::scoped_lock lock(m_mutex);
        if (!m_work || m_round_over) return;
        ++m_pokes;
        m_idle = 0;
    }
    m_changed.notify_all();
}

void BuildPool::helper(int index, int priority) {
    if (priority != 0) set_thread_priority(priority);
    uint64_t round = 0;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [&] { return m_closing || (m_work && m_round != round); });
        if (m_closing) return;
        round = m_round;
        take_part(lock, index);
    }
}

void BuildPool::take_part(std::unique_lock<std::mutex>& lock, int index) {
    const Work& work = *m_work;
    while (!m_round_over) {
        const uint64_t seen = m_pokes;
        lock.unlock();
        const bool worked = work(index);
        lock.lock();
        if (worked) {
            // What was done may have freed more work for the threads that found none.
            ++m_pokes;
            m_idle = 0;
            m_changed.notify_all();
            continue;
        }
        if (m_pokes != seen) continue;  // poked while looking: look again
        if (++m_idle == m_count) {
            m_round_over = true;
            m_changed.notify_all();
            break;
        }
        m_changed.wait(lock, [&] { return m_round_over || m_pokes != seen; });
    }
    ++m_left;
    m_changed.notify_all();
}

}  // namespace vistrel
