#include "platform/threads.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace vistrel {

namespace {

// Nice values for the priority levels -2..2.
int nice_for_level(int level) {
    static constexpr int kNice[] = {10, 5, 0, -5, -10};
    return kNice[std::clamp(level, -2, 2) + 2];
}

bool apply_priority(long tid, int level) {
    if (tid == 0) return false;
    return setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice_for_level(level)) == 0;
}

}  // namespace

bool set_thread_priority(int level) {
    return apply_priority(static_cast<long>(syscall(SYS_gettid)), level);
}

uint32_t tick_count() {
    return static_cast<uint32_t>(micro_ticks() / 1000);
}

uint64_t micro_ticks() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

void sleep_ms(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void ManualResetEvent::set() {
    std::lock_guard lock(m_mutex);
    m_signalled = true;
    m_cv.notify_all();
}

void ManualResetEvent::reset() {
    std::lock_guard lock(m_mutex);
    m_signalled = false;
}

bool ManualResetEvent::is_set() const {
    std::lock_guard lock(m_mutex);
    return m_signalled;
}

void ManualResetEvent::wait() {
    std::unique_lock lock(m_mutex);
    m_cv.wait(lock, [this] { return m_signalled; });
}

bool ManualResetEvent::wait_for(uint32_t milliseconds) {
    std::unique_lock lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::milliseconds(milliseconds),
                         [this] { return m_signalled; });
}

WorkerThread::~WorkerThread() {
    // A derived class must join in its own destructor; this is the last resort so that no
    // std::thread is destroyed joinable.
    if (m_thread.joinable()) m_thread.join();
}

bool WorkerThread::start() {
    if (m_running.load()) return false;
    if (m_thread.joinable()) m_thread.join();  // reap a thread whose body has ended
    m_stop.store(0);
    m_tid.store(0);
    m_running.store(true);
    try {
        m_thread = std::thread(&WorkerThread::body, this);
    } catch (const std::system_error&) {
        m_running.store(false);
        return false;
    }
    return true;
}

void WorkerThread::body() {
    m_tid.store(static_cast<long>(syscall(SYS_gettid)));
    if (m_priority.load() != 0) apply_priority(m_tid.load(), m_priority.load());
    run();
    m_running.store(false);
}

void WorkerThread::join() {
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) m_thread.join();
    m_running.store(false);
}

bool WorkerThread::set_priority(int level) {
    level = std::clamp(level, -2, 2);
    m_priority.store(level);
    return apply_priority(m_tid.load(), level);
}

}  // namespace vistrel
