#pragma once
// The folders the screens show, watched once for the whole program (one inotify instance
// and re-scan for all of them, whichever screens show them), and the mounts table.
//
// A folder is reported once it has been quiet for a moment, so that a copy of many
// pictures is one change rather than one a frame, and at the latest a second after its
// first change.

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "library/change_alarm.h"
#include "library/folder_watcher.h"

namespace vistrel {

class WatchedFolders {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    static constexpr std::chrono::milliseconds kQuiet{250};
    static constexpr std::chrono::milliseconds kLongest{1000};

    // `owner` watches `folder` in place of what it watched before; empty: nothing.
    void watch(const void* owner, const std::u16string& folder);
    // The watched folders whose change is due at `now`.
    std::vector<std::u16string> changed(TimePoint now = std::chrono::steady_clock::now());
    // True once after each change of the mounted storage.
    bool storage_changed();
    // Calls `wake`, from a thread of its own, when inotify or the mounts table has news for
    // changed() or storage_changed(); once per news, again after they were asked. Empty:
    // no thread. The caller looks on a timer when this is not waking().
    void set_wake(std::function<void()> wake);
    bool waking() const { return m_alarm && m_alarm->listening(); }
    // Time from `now` until changed() has a change due that no news announces: a change
    // waiting out its quiet time, or the next timed re-scan. None: nothing will be due.
    std::optional<std::chrono::milliseconds> time_to_due(TimePoint now) const;

private:
    struct Pending {
        TimePoint first;
        TimePoint last;
    };
    FolderWatcher m_watcher;
    MountWatcher m_mounts;
    std::unique_ptr<ChangeAlarm> m_alarm;
    std::map<const void*, std::u16string> m_owners;
    std::map<std::u16string, Pending> m_pending;
};

}  // namespace vistrel
