#pragma once
// Cache files built several at once, for `vistrel-tool index`: the photo library's worker
// hands each picture over and goes on to the next while the builders work.

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "library/cache/cache_builder.h"

namespace vistrel::tool {

class BuildPool {
public:
    struct Result {
        std::u16string picture;
        CacheProblem problem = CacheProblem::None;
    };

    // `builders` threads, each building one picture at a time; every build asks `stop`.
    BuildPool(int builders, StopTest stop);
    // Lets the builds under way end (they ask `stop`) and waits for them.
    ~BuildPool();
    BuildPool(const BuildPool&) = delete;
    BuildPool& operator=(const BuildPool&) = delete;

    // Hands a picture over; waits while every builder is busy and one is already waiting.
    void add(const std::u16string& picture, const std::u16string& drive);
    // Waits until every picture handed over is done.
    void wait();
    // Pictures done so far.
    int done() const;
    // What became of each picture, in the order they were done.
    std::vector<Result> results() const;

private:
    struct Job {
        std::u16string picture;
        std::u16string drive;
    };
    void run();

    StopTest m_stop;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Job> m_waiting;
    int m_busy = 0;
    bool m_closing = false;
    std::vector<Result> m_results;
    std::vector<std::thread> m_threads;
};

}  // namespace vistrel::tool
