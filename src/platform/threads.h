#pragma once
// Threads, locks, events and time.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "platform/trace.h"

namespace vistrel {

// A re-entrant lock (one thread may take it again while it holds it) and a plain one.
using RecursiveMutex = std::recursive_mutex;
using Mutex = std::mutex;

// Milliseconds on a monotonic clock; wraps like a 32-bit tick count.
uint32_t tick_count();
// Microseconds on the same clock, for frame timing.
uint64_t micro_ticks();
void sleep_ms(uint32_t milliseconds);

// Sets the calling thread's priority, -2 (lowest) .. 2 (highest) as WorkerThread's;
// best effort, true when the system accepted it.
bool set_thread_priority(int level);

// An event that stays signalled until reset.
class ManualResetEvent {
public:
    explicit ManualResetEvent(bool signalled = false) : m_signalled(signalled) {}
    void set();
    void reset();
    bool is_set() const;
    void wait();
    // False on time-out.
    bool wait_for(uint32_t milliseconds);

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_signalled;
};

// A thread object: derive, implement `run`, check `stop_requested` in it.
class WorkerThread {
public:
    WorkerThread() = default;
    virtual ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // False, doing nothing, while a thread is held; otherwise clears the stop request and
    // starts `run` on a new thread.
    bool start();
    // Waits for the thread to end, without time-out.
    void join();
    void request_stop() { m_stop.store(1); }
    bool stop_requested() const { return m_stop.load() != 0; }
    // True from `start` until the thread body ends or `join` returns.
    bool is_running() const { return m_running.load(); }
    // -2 (lowest) .. 2 (highest), clamped; best effort, true when the system accepted it.
    bool set_priority(int level);
    // The system id of the running thread; 0 before it started.
    long thread_id() const { return m_tid.load(); }

protected:
    virtual void run() = 0;

private:
    void body();

    std::thread m_thread;
    std::atomic<bool> m_running{false};
    std::atomic<uint32_t> m_stop{0};
    std::atomic<long> m_tid{0};
    std::atomic<int> m_priority{0};
};

// Base of classes with one instance at a time; a second construction is fatal.
template <typename T>
class Singleton {
public:
    Singleton() {
        if (s_instance.exchange(true))
            log_fatal("Singleton::Singleton()", "Singleton is already instantiated");
    }
    ~Singleton() { s_instance.store(false); }
    Singleton(const Singleton&) = delete;
    Singleton& operator=(const Singleton&) = delete;

private:
    static inline std::atomic<bool> s_instance{false};
};

}  // namespace vistrel
