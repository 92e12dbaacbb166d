#include <gtest/gtest.h>

#include <atomic>

#include "platform/threads.h"

namespace vistrel {
namespace {

class CountingThread : public WorkerThread {
public:
    ~CountingThread() override { join(); }
    std::atomic<int> loops{0};
    ManualResetEvent started;

protected:
    void run() override {
        started.set();
        while (!stop_requested()) {
            ++loops;
            sleep_ms(1);
        }
    }
};

TEST(WorkerThread, RunsUntilAskedToStop) {
    CountingThread thread;
    EXPECT_FALSE(thread.is_running());
    ASSERT_TRUE(thread.start());
    EXPECT_TRUE(thread.is_running());
    EXPECT_FALSE(thread.start());  // one thread at a time
    ASSERT_TRUE(thread.started.wait_for(5000));
    EXPECT_NE(thread.thread_id(), 0);
    thread.request_stop();
    thread.join();
    EXPECT_FALSE(thread.is_running());
    EXPECT_TRUE(thread.stop_requested());
    // A finished thread can start again; the stop request is cleared.
    thread.started.reset();
    ASSERT_TRUE(thread.start());
    EXPECT_FALSE(thread.stop_requested());
    ASSERT_TRUE(thread.started.wait_for(5000));
    thread.request_stop();
    thread.join();
}

class OneShot : public WorkerThread {
public:
    ~OneShot() override { join(); }

protected:
    void run() override {}
};

TEST(WorkerThread, IsNoLongerRunningOnceItsBodyEnds) {
    OneShot thread;
    ASSERT_TRUE(thread.start());
    for (int i = 0; i < 5000 && thread.is_running(); ++i) sleep_ms(1);
    EXPECT_FALSE(thread.is_running());
    EXPECT_TRUE(thread.start());
    thread.join();
}

TEST(WorkerThread, LowerPriorityIsAccepted) {
    CountingThread thread;
    ASSERT_TRUE(thread.start());
    ASSERT_TRUE(thread.started.wait_for(5000));
    EXPECT_TRUE(thread.set_priority(-1));
    EXPECT_TRUE(thread.set_priority(-7));  // clamped to the lowest
    thread.request_stop();
}

TEST(ManualResetEvent, StaysSignalledUntilReset) {
    ManualResetEvent event;
    EXPECT_FALSE(event.wait_for(1));
    event.set();
    EXPECT_TRUE(event.wait_for(0));
    EXPECT_TRUE(event.wait_for(0));
    event.reset();
    EXPECT_FALSE(event.is_set());
    std::thread setter([&] {
        sleep_ms(5);
        event.set();
    });
    event.wait();
    setter.join();
    EXPECT_TRUE(event.is_set());
}

TEST(Ticks, MonotonicMilliseconds) {
    const uint32_t before = tick_count();
    sleep_ms(20);
    const uint32_t elapsed = tick_count() - before;
    EXPECT_GE(elapsed, 20u);
    EXPECT_LT(elapsed, 5000u);
}

struct Lonely : Singleton<Lonely> {};

TEST(SingletonDeathTest, SecondInstanceEndsTheProcess) {
    EXPECT_EXIT(
        {
            Lonely first;
            Lonely second;
        },
        ::testing::ExitedWithCode(1), "Gluck: Singleton is already instantiated @ Singleton::Singleton\\(\\)");
    // One after the other is fine.
    { Lonely a; }
    { Lonely b; }
}

}  // namespace
}  // namespace vistrel
