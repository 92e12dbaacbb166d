#include "library/change_alarm.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "platform/trace.h"

namespace vistrel {

ChangeAlarm::ChangeAlarm(std::vector<pollfd> waits, std::function<void()> ring)
    : m_ring(std::move(ring)), m_stop(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    std::erase_if(waits, [](const pollfd& wait) { return wait.fd < 0; });
    if (!m_ring || waits.empty()) return;
    m_waits.push_back({m_stop.get(), POLLIN, 0});
    m_waits.insert(m_waits.end(), waits.begin(), waits.end());
    if (!m_stop.is_open()) {
        trace() << "ChangeAlarm: no eventfd; changes are looked for on a timer\n";
        return;
    }
    m_listening = true;
    m_thread = std::thread([this] {
        run();
        m_listening = false;
    });
}

ChangeAlarm::~ChangeAlarm() {
    if (!m_thread.joinable()) return;
    {
        std::scoped_lock lock(m_mutex);
        m_stopping = true;
    }
    m_armed_changed.notify_all();
    const uint64_t one = 1;
    if (::write(m_stop.get(), &one, sizeof one) < 0) {
        // The eventfd counter cannot be full here; the flag above ends the thread anyway
        // once its wait returns.
    }
    m_thread.join();
}

void ChangeAlarm::rearm() {
    {
        std::scoped_lock lock(m_mutex);
        if (m_armed) return;
        m_armed = true;
    }
    m_armed_changed.notify_all();
}

void ChangeAlarm::run() {
    std::vector<pollfd>& waits = m_waits;
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            m_armed_changed.wait(lock, [this] { return m_armed || m_stopping; });
            if (m_stopping) return;
        }
        for (pollfd& wait : waits)
            wait.revents = 0;
        if (::poll(waits.data(), waits.size(), -1) < 0) {
            if (errno == EINTR) continue;
            trace() << "ChangeAlarm: poll failed; changes are looked for on a timer\n";
            return;
        }
        if (waits[0].revents != 0) return;
        if (std::any_of(waits.begin(), waits.end(),
                        [](const pollfd& wait) { return wait.revents & POLLNVAL; })) {
            trace() << "ChangeAlarm: a descriptor went; changes are looked for on a timer\n";
            return;
        }
        const bool news = std::any_of(waits.begin() + 1, waits.end(),
                                      [](const pollfd& wait) { return wait.revents != 0; });
        if (!news) continue;
        {
            std::scoped_lock lock(m_mutex);
            if (m_stopping) return;
            m_armed = false;
        }
        m_ring();
    }
}

}  // namespace vistrel
