#include "shell/active.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/trace.h"

namespace vistrel {

namespace {

std::atomic<uint32_t> g_next_active_id{0};
std::atomic<CActiveScheduler*> g_scheduler{nullptr};

[[noreturn]] void fatal_about(const char* where, const char* before, uint32_t id,
                              const char* after) {
    const std::string what = before + std::to_string(id) + after;
    log_fatal(where, what.c_str());
}

}  // namespace

CActive::CActive() : m_id(++g_next_active_id) {}

CActive::~CActive() {
    if (m_active.load())
        fatal_about("CActive::~CActive()", "Active object ", m_id, " is already active");
}

CActiveScheduler::CActiveScheduler(SchedulerHost& host) : m_host(host) {
    g_scheduler.store(this);
}

CActiveScheduler::~CActiveScheduler() {
    const int count = m_active_counter.load();
    if (count != 0) {
        const std::string what =
            "Some active objects still live while scheduler is terminating active_counter=" +
            std::to_string(count);
        log_fatal("", what.c_str());
    }
    m_host.stop_timer();
    CActiveScheduler* self = this;
    g_scheduler.compare_exchange_strong(self, nullptr);
}

CActiveScheduler* CActiveScheduler::instance() {
    return g_scheduler.load();
}

void CActiveScheduler::set_active(CActive& object) {
    if (object.m_active.load())
        fatal_about("CActiveScheduler::set_active()", "Object ", object.m_id, " is already active");
    object.m_active.store(true);
    ++m_active_counter;
}

void CActiveScheduler::notify(CActive& object) {
    if (!object.m_active.load())
        fatal_about("CActiveScheduler::notify()", "Active object ", object.m_id, " is not active");
    {
        std::lock_guard lock(m_lock);
        m_ready.push_back(&object);
    }
    m_ready_changed.notify_all();
    // One wake-up is enough for any number of notifications before the loop runs them.
    if (!m_wake_pending.exchange(true)) m_host.post_wake();
}

void CActiveScheduler::process_actives() {
    m_wake_pending.store(false);
    for (;;) {
        CActive* object = nullptr;
        {
            std::lock_guard lock(m_lock);
            if (m_ready.empty()) return;
            object = m_ready.front();
            m_ready.pop_front();
        }
        if (!object->m_active.load())
            fatal_about("CActiveScheduler::process_actives()", "Active object ", object->m_id,
                        " is not marked active");
        object->m_active.store(false);
        --m_active_counter;
        object->run();
    }
}

void CActiveScheduler::activate_after(CActive& object, double seconds) {
    const double ms = seconds * 1000.0 + 0.5;
    const uint32_t delay = ms <= 0 ? 0 : ms >= 4.0e9 ? 4000000000u : static_cast<uint32_t>(ms);
    object.m_due = m_host.now() + delay;
    set_active(object);
    {
        std::lock_guard lock(m_lock);
        m_timed.push_back(&object);
    }
    timed_step();
}

void CActiveScheduler::timed_step() {
    m_host.stop_timer();
    const uint32_t now = m_host.now();
    std::vector<CActive*> due;
    int32_t smallest = 10000000;
    bool remaining = false;
    {
        std::lock_guard lock(m_lock);
        for (auto it = m_timed.begin(); it != m_timed.end();) {
            const int32_t left = static_cast<int32_t>((*it)->m_due - now);
            if (left < 1) {
                due.push_back(*it);
                it = m_timed.erase(it);
            } else {
                smallest = std::min(smallest, left);
                remaining = true;
                ++it;
            }
        }
    }
    for (CActive* object : due)
        notify(*object);
    if (remaining) m_host.start_timer(static_cast<uint32_t>(smallest));
}

void CActiveScheduler::expire_now(CActive& object) {
    {
        std::lock_guard lock(m_lock);
        if (std::find(m_timed.begin(), m_timed.end(), &object) == m_timed.end()) return;
        object.m_due = m_host.now();
    }
    timed_step();
}

bool CActiveScheduler::take_from_ready(CActive& object) {
    auto it = std::find(m_ready.begin(), m_ready.end(), &object);
    if (it == m_ready.end()) return false;
    m_ready.erase(it);
    return true;
}

void CActiveScheduler::cancel_active(CActive& object) {
    if (!object.m_active.load()) return;
    object.cancel();
    {
        std::unique_lock lock(m_lock);
        m_ready_changed.wait(lock, [&] { return take_from_ready(object); });
    }
    object.m_active.store(false);
    --m_active_counter;
}

Timer::Timer(TimerClient& client) : m_client(client), m_active(*this) {}

Timer::~Timer() {
    stop();
}

void Timer::start(double seconds) {
    CActiveScheduler* scheduler = CActiveScheduler::instance();
    if (!scheduler) return;
    stop();
    scheduler->activate_after(m_active, seconds);
}

void Timer::stop() {
    if (!m_active.is_active()) return;
    if (CActiveScheduler* scheduler = CActiveScheduler::instance())
        scheduler->cancel_active(m_active);
}

void Timer::TimedActive::run() {
    m_owner.m_client.on_timer(m_owner);
}

void Timer::TimedActive::cancel() {
    if (CActiveScheduler* scheduler = CActiveScheduler::instance()) scheduler->expire_now(*this);
}

}  // namespace vistrel
