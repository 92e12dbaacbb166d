#pragma once
// A fixed set of threads that work through a shared queue together: run() hands one work
// function to every thread (the calling one among them), each calls it again and again,
// and the round ends once every thread has found nothing to do since the last piece of
// work was done or poke() was called. A pool of one thread starts no thread of its own.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace vistrel {

// The number of build threads for this machine: one per processor, at most 8, at most
// `limit` when that is above 0.
int default_build_threads(int limit = 0);

class BuildPool {
public:
    // Does one piece of work on thread `index` (0: the caller of run); false when there
    // is nothing for it now.
    using Work = std::function<bool(int index)>;

    // `threads` in all, the caller of run among them; the others run at `priority`
    // (see set_thread_priority).
    explicit BuildPool(int threads, int priority = 0);
    // Waits for the threads; a round must not be running.
    ~BuildPool();
    BuildPool(const BuildPool&) = delete;
    BuildPool& operator=(const BuildPool&) = delete;

    int threads() const { return m_count; }
    // Runs `work` on every thread until the round ends (see above); one round at a time.
    void run(const Work& work);
    // Tells the threads of a running round that new work may be there; does nothing
    // between rounds.
    void poke();

private:
    void helper(int index, int priority);
    // One thread's part of a round; called and left with `lock` held.
    void take_part(std::unique_lock<std::mutex>& lock, int index);

    const int m_count;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    const Work* m_work = nullptr;  // the round's work, while one runs
    uint64_t m_round = 0;          // rounds started
    uint64_t m_pokes = 0;          // pieces of work done and pokes in this round
    int m_idle = 0;                // threads that found nothing since the last poke
    int m_left = 0;                // threads that have ended their part of the round
    bool m_round_over = false;
    bool m_closing = false;
    std::vector<std::thread> m_threads;
};

}  // namespace vistrel
