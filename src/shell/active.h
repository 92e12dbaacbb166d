#pragma once
// Active objects: requests that complete on another thread, or after a delay, have their
// completion handler run later on the user-interface thread, from the message loop.
//
//   scheduler.set_active(obj);      // before the request starts
//   ... worker thread: scheduler.notify(obj);
//   ... message loop: scheduler.process_actives() calls obj.run()
//
// Misuse (activating twice, notifying an idle object, destroying an active one, leaving
// active objects at shutdown) ends the process through log_fatal.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

namespace vistrel {

class CActiveScheduler;

class CActive {
public:
    CActive();
    virtual ~CActive();
    CActive(const CActive&) = delete;
    CActive& operator=(const CActive&) = delete;

    // The completion handler, on the user-interface thread.
    virtual void run() = 0;
    // Asks the pending request to finish at once (it must still notify).
    virtual void cancel() = 0;

    bool is_active() const { return m_active.load(); }
    uint32_t id() const { return m_id; }

private:
    friend class CActiveScheduler;
    std::atomic<bool> m_active{false};
    uint32_t m_id;
    uint32_t m_due = 0;  // tick count of a timed activation
};

// What the scheduler needs of the message loop that runs it: a clock, a wake-up that
// makes the loop call process_actives, and one timer that makes it call timed_step.
class SchedulerHost {
public:
    virtual ~SchedulerHost() = default;
    virtual uint32_t now() = 0;
    // From any thread.
    virtual void post_wake() = 0;
    virtual void start_timer(uint32_t milliseconds) = 0;
    virtual void stop_timer() = 0;
};

class CActiveScheduler {
public:
    explicit CActiveScheduler(SchedulerHost& host);
    // Fatal while any object is still active.
    ~CActiveScheduler();
    CActiveScheduler(const CActiveScheduler&) = delete;
    CActiveScheduler& operator=(const CActiveScheduler&) = delete;

    // The scheduler of the running application, or null.
    static CActiveScheduler* instance();

    void set_active(CActive& object);
    // From any thread: queues a completed object for running.
    void notify(CActive& object);
    // Runs every queued object, including those notified while it runs.
    void process_actives();
    // Activates the object and notifies it after `seconds`.
    void activate_after(CActive& object, double seconds);
    // Cancels a pending object and waits for its completion without running its handler.
    void cancel_active(CActive& object);
    // Notifies every timed object that is due and re-arms the host's timer for the rest.
    void timed_step();
    // For a timed object's cancel: makes it due now and notifies it.
    void expire_now(CActive& object);

    int active_count() const { return m_active_counter.load(); }

private:
    bool take_from_ready(CActive& object);

    SchedulerHost& m_host;
    std::mutex m_lock;  // guards both lists
    std::condition_variable m_ready_changed;
    std::atomic<int> m_active_counter{0};
    std::atomic<bool> m_wake_pending{false};
    std::deque<CActive*> m_ready;
    std::deque<CActive*> m_timed;
};

// A one-shot timer on the scheduler: after `start(seconds)` the client's on_timer runs on
// the user-interface thread, unless `stop` came first.
class Timer;
class TimerClient {
public:
    virtual ~TimerClient() = default;
    virtual void on_timer(Timer& timer) = 0;
};

class Timer {
public:
    explicit Timer(TimerClient& client);
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    // Starts (or restarts) the timer.
    void start(double seconds);
    void stop();
    bool is_active() const { return m_active.is_active(); }

private:
    class TimedActive final : public CActive {
    public:
        explicit TimedActive(Timer& owner) : m_owner(owner) {}
        void run() override;
        void cancel() override;

    private:
        Timer& m_owner;
    };

    TimerClient& m_client;
    TimedActive m_active;
};

}  // namespace vistrel
