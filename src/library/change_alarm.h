#pragma once
// A thread that waits for news on some file descriptors (inotify's, the mounts table's) and
// calls a function when there is some, so that a resting user-interface thread need not
// look for it on a timer. It calls once per news: until rearm() says the news was taken,
// it does not wait again (the descriptors stay ready until they are read).

#include <poll.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/file_descriptor.h"

namespace vistrel {

class ChangeAlarm {
public:
    // Waits for the events of `waits` (entries with a negative descriptor are passed over);
    // `ring` is called on the alarm's thread. Nothing runs when `ring` is empty or no
    // descriptor is valid.
    ChangeAlarm(std::vector<pollfd> waits, std::function<void()> ring);
    // Stops the thread and waits for it; `ring` is not called after this returns.
    ~ChangeAlarm();
    ChangeAlarm(const ChangeAlarm&) = delete;
    ChangeAlarm& operator=(const ChangeAlarm&) = delete;

    // Whether news rings: false when nothing runs or the thread had to give up.
    bool listening() const { return m_listening; }
    // The news was taken (the descriptors were read): wait for the next.
    void rearm();

private:
    void run();

    std::vector<pollfd> m_waits;
    std::function<void()> m_ring;
    FileDescriptor m_stop;  // an eventfd that ends the thread's wait
    std::mutex m_mutex;
    std::condition_variable m_armed_changed;
    bool m_armed = true;
    bool m_stopping = false;
    std::atomic<bool> m_listening{false};
    std::thread m_thread;
};

}  // namespace vistrel
