#pragma once
// Folders that change while they are shown: inotify tells of pictures written, moved in,
// moved out or removed; a timed re-scan of each folder's listing catches what inotify does
// not see (network shares, a folder it could not watch). And the mounts table, which tells
// of memory cards and USB sticks mounted and unplugged.
//
// Both are polled (no thread of their own): the screens ask at their frame steps, and a
// ChangeAlarm on their descriptors can tell a resting screen when to ask.

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_descriptor.h"

namespace vistrel {

// The pictures of a folder as the screens show them: its "*.jpg" pictures, then its
// "*.jpeg" ones, then those of every other format we read, each group by name.
std::vector<std::u16string> folder_pictures(const std::u16string& folder);

class FolderWatcher {
public:
    // How often every watched folder's listing is compared with the last one.
    static constexpr std::chrono::seconds kRescanPeriod{10};

    FolderWatcher();
    ~FolderWatcher();
    FolderWatcher(const FolderWatcher&) = delete;
    FolderWatcher& operator=(const FolderWatcher&) = delete;

    // Watches exactly these folders from now on (an empty list stops watching).
    void watch(const std::vector<std::u16string>& folders);
    // The watched folders that changed since the last call.
    std::vector<std::u16string> changed();
    // Whether inotify is at hand (else only the re-scan sees changes).
    bool notifying() const { return m_inotify.is_open(); }
    // inotify's descriptor, readable when changed() has news; -1 without inotify.
    int descriptor() const { return m_inotify.get(); }
    // When the next timed re-scan is due; none while nothing is watched.
    std::optional<std::chrono::steady_clock::time_point> next_rescan() const;

private:
    struct Watched {
        int descriptor = -1;  // the inotify watch, -1 when none
        uint64_t signature = 0;
    };
    void drain(std::vector<std::u16string>& out);
    void rescan(std::vector<std::u16string>& out);

    FileDescriptor m_inotify;
    std::map<std::u16string, Watched> m_folders;
    std::chrono::steady_clock::time_point m_next_rescan;
};

// Memory cards and USB sticks coming and going: the mounts table changed (never while
// VISTREL_CARDS lists the cards).
class MountWatcher {
public:
    MountWatcher();
    // True once after each change of the mounts table.
    bool changed();
    // The table's descriptor, which reports POLLPRI while a change waits for changed();
    // -1 when the table is not followed.
    int descriptor() const { return m_mounts.get(); }

private:
    FileDescriptor m_mounts;
};

}  // namespace vistrel
