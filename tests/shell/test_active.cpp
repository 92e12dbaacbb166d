#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "shell/active.h"

namespace vistrel {
namespace {

// A host with its own clock and a record of the timer it was asked for.
struct FakeHost : SchedulerHost {
    uint32_t clock = 5000;
    int wakes = 0;
    std::vector<int> timers;  // each start; -1 for a stop
    uint32_t now() override { return clock; }
    void post_wake() override { ++wakes; }
    void start_timer(uint32_t ms) override { timers.push_back(int(ms)); }
    void stop_timer() override { timers.push_back(-1); }
    int armed() const { return timers.empty() || timers.back() == -1 ? 0 : timers.back(); }
};

struct Recorded : CActive {
    std::vector<std::string>& log;
    std::string name;
    int cancels = 0;
    Recorded(std::vector<std::string>& l, std::string n) : log(l), name(std::move(n)) {}
    void run() override { log.push_back(name); }
    void cancel() override {
        ++cancels;
        if (auto* s = CActiveScheduler::instance()) s->expire_now(*this);
    }
};

TEST(ActiveObjects, HandlersRunInNotificationOrderOnProcess) {
    FakeHost host;
    CActiveScheduler scheduler(host);
    std::vector<std::string> log;
    Recorded a(log, "a"), b(log, "b"), c(log, "c");
    for (Recorded* o : {&a, &b, &c})
        scheduler.set_active(*o);
    EXPECT_EQ(scheduler.active_count(), 3);
    scheduler.notify(b);
    scheduler.notify(c);
    scheduler.notify(a);
    EXPECT_EQ(host.wakes, 1);  // one wake-up until the loop has run them
    EXPECT_TRUE(log.empty());
    scheduler.process_actives();
    EXPECT_EQ(log, (std::vector<std::string>{"b", "c", "a"}));
    EXPECT_EQ(scheduler.active_count(), 0);
    EXPECT_FALSE(a.is_active());
}

TEST(ActiveObjects, NotificationsFromWorkerThreadsRunOnProcess) {
    FakeHost host;
    CActiveScheduler scheduler(host);
    std::vector<std::string> log;
    std::vector<std::unique_ptr<Recorded>> objects;
    for (int i = 0; i < 8; ++i) {
        objects.push_back(std::make_unique<Recorded>(log, std::to_string(i)));
        scheduler.set_active(*objects.back());
    }
    std::vector<std::thread> workers;
    for (auto& o : objects)
        workers.emplace_back([&scheduler, &o] { scheduler.notify(*o); });
    for (auto& w : workers)
        w.join();
    scheduler.process_actives();
    EXPECT_EQ(log.size(), 8u);
    EXPECT_EQ(scheduler.active_count(), 0);
}

TEST(ActiveObjects, TimedObjectsReArmTheTimerForTheNextDue) {
    FakeHost host;
    CActiveScheduler scheduler(host);
    std::vector<std::string> log;
    Recorded late(log, "300"), early(log, "100"), now(log, "0");
    scheduler.activate_after(late, 0.3);
    EXPECT_EQ(host.armed(), 300);
    scheduler.activate_after(early, 0.1);
    EXPECT_EQ(host.armed(), 100);
    scheduler.activate_after(now, 0.0);  // due at once: notified by this very step
    scheduler.process_actives();
    EXPECT_EQ(log, (std::vector<std::string>{"0"}));
    host.clock += 100;
    scheduler.timed_step();
    EXPECT_EQ(host.armed(), 200);
    scheduler.process_actives();
    EXPECT_EQ(log, (std::vector<std::string>{"0", "100"}));
    host.clock += 200;
    scheduler.timed_step();
    EXPECT_EQ(host.armed(), 0);
    scheduler.process_actives();
    EXPECT_EQ(log, (std::vector<std::string>{"0", "100", "300"}));
}

TEST(ActiveObjects, CancelTakesAQueuedObjectOutWithoutRunningIt) {
    FakeHost host;
    CActiveScheduler scheduler(host);
    std::vector<std::string> log;
    Recorded timed(log, "timed"), queued(log, "queued"), other(log, "other");
    scheduler.activate_after(timed, 5.0);
    scheduler.cancel_active(timed);
    EXPECT_EQ(timed.cancels, 1);
    EXPECT_FALSE(timed.is_active());
    scheduler.set_active(queued);
    scheduler.set_active(other);
    scheduler.notify(queued);
    scheduler.notify(other);
    scheduler.cancel_active(queued);  // notified but not yet run
    scheduler.cancel_active(queued);  // idle: nothing happens
    scheduler.process_actives();
    EXPECT_EQ(log, (std::vector<std::string>{"other"}));
    EXPECT_EQ(scheduler.active_count(), 0);
}

struct Counter : TimerClient {
    int fired = 0;
    void on_timer(Timer&) override { ++fired; }
};

TEST(ActiveObjects, TimerStartsStopsAndRestarts) {
    FakeHost host;
    CActiveScheduler scheduler(host);
    Counter counter;
    Timer timer(counter);
    timer.start(0.05);
    EXPECT_TRUE(timer.is_active());
    timer.start(0.2);  // restarting replaces the pending one
    EXPECT_EQ(host.armed(), 200);
    host.clock += 200;
    scheduler.timed_step();
    scheduler.process_actives();
    EXPECT_EQ(counter.fired, 1);
    EXPECT_FALSE(timer.is_active());
    timer.start(1.0);
    timer.stop();
    scheduler.process_actives();
    EXPECT_EQ(counter.fired, 1);
    EXPECT_EQ(scheduler.active_count(), 0);
}

struct Idle : CActive {
    void run() override {}
    void cancel() override {}
};

TEST(ActiveObjectsDeathTest, MisuseEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            FakeHost host;
            CActiveScheduler scheduler(host);
            Idle o;
            scheduler.set_active(o);
            scheduler.set_active(o);
        },
        testing::ExitedWithCode(1), "is already active");
    EXPECT_EXIT(
        {
            FakeHost host;
            CActiveScheduler scheduler(host);
            Idle o;
            scheduler.notify(o);
        },
        testing::ExitedWithCode(1), "is not active");
    EXPECT_EXIT(
        {
            FakeHost host;
            auto scheduler = std::make_unique<CActiveScheduler>(host);
            static Idle o;
            scheduler->set_active(o);
            scheduler.reset();
        },
        testing::ExitedWithCode(1), "active_counter=1");
    EXPECT_EXIT(
        {
            FakeHost host;
            CActiveScheduler scheduler(host);
            auto o = std::make_unique<Idle>();
            scheduler.set_active(*o);
            o.reset();
        },
        testing::ExitedWithCode(1), "is already active");
}

}  // namespace
}  // namespace vistrel
