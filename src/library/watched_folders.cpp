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
    return due;
}

}  // namespace vistrel
