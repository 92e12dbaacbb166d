#include "library/watched_folders.h"

#include <algorithm>

namespace vistrel {

void WatchedFolders::watch(const void* owner, const std::u16string& folder) {
    if (folder.empty())
        m_owners.erase(owner);
    else
        m_owners[owner] = folder;
    std::vector<std::u16string> folders;
    for (const auto& [who, watched] : m_owners)
        if (std::find(folders.begin(), folders.end(), watched) == folders.end())
            folders.push_back(watched);
    m_watcher.watch(folders);
    std::erase_if(m_pending, [&](const auto& entry) {
        return std::find(folders.begin(), folders.end(), entry.first) == folders.end();
    });
}

std::vector<std::u16string> WatchedFolders::changed(TimePoint now) {
    for (const std::u16string& folder : m_watcher.changed()) {
        Pending& pending = m_pending.try_emplace(folder, Pending{now, now}).first->second;
        pending.last = now;
    }
    std::vector<std::u16string> due;
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        if (now - it->second.last >= kQuiet || now - it->second.first >= kLongest) {
            due.push_back(it->first);
            it = m_pending.erase(it);
        } else {
            ++it;
        }
    }
    if (m_alarm) m_alarm->rearm();
    return due;
}

bool WatchedFolders::storage_changed() {
    const bool changed = m_mounts.changed();
    if (m_alarm) m_alarm->rearm();
    return changed;
}

void WatchedFolders::set_wake(std::function<void()> wake) {
    m_alarm.reset();
    if (!wake) return;
    std::vector<pollfd> waits = {{m_watcher.descriptor(), POLLIN, 0},
                                 {m_mounts.descriptor(), POLLPRI, 0}};
    m_alarm = std::make_unique<ChangeAlarm>(std::move(waits), std::move(wake));
}

std::optional<std::chrono::milliseconds> WatchedFolders::time_to_due(TimePoint now) const {
    std::optional<TimePoint> due = m_watcher.next_rescan();
    for (const auto& [folder, pending] : m_pending) {
        const TimePoint at = std::min(pending.last + kQuiet, pending.first + kLongest);
        if (!due || at < *due) due = at;
    }
    if (!due) return std::nullopt;
    if (*due <= now) return std::chrono::milliseconds(0);
    return std::chrono::ceil<std::chrono::milliseconds>(*due - now);
}

}  // namespace vistrel
