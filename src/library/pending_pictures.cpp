#include "library/pending_pictures.h"

#include <algorithm>
#include <cstdlib>

namespace vistrel {

bool PendingPictures::add(const std::u16string& folder, const std::u16string& drive,
                          const std::u16string& picture) {
    if (!m_queued.insert(picture).second) return false;
    auto [entry, inserted] = m_folders.try_emplace(folder);
    if (inserted) entry->second.drive_path = drive;
    auto& pictures = entry->second.pictures;
    pictures.push_back({static_cast<int>(pictures.size()), picture});
    return true;
}

Priority PendingPictures::prioritize(const std::u16string& folder, const std::u16string& picture) {
    const auto entry = m_folders.find(folder);
    if (entry == m_folders.end()) return Priority::NoFolder;
    auto& pictures = entry->second.pictures;
    const auto found = std::find_if(pictures.begin(), pictures.end(),
                                    [&](const PendingPicture& p) { return p.path == picture; });
    if (found == pictures.end()) return Priority::NotQueued;
    const int centre = found->index;
    std::stable_sort(pictures.begin(), pictures.end(),
                     [centre](const PendingPicture& a, const PendingPicture& b) {
                         return std::abs(a.index - centre) < std::abs(b.index - centre);
                     });
    return Priority::Ordered;
}

const PendingPicture* PendingPictures::first_free(const PendingFolder& folder) const {
    for (const PendingPicture& picture : folder.pictures)
        if (m_building.count(picture.path) == 0) return &picture;
    return nullptr;
}

std::optional<PendingBuild> PendingPictures::next(const std::u16string& preferred) {
    if (!preferred.empty()) {
        const auto entry = m_folders.find(preferred);
        if (entry != m_folders.end())
            if (const PendingPicture* picture = first_free(entry->second))
                return PendingBuild{picture->path, entry->second.drive_path};
    }
    for (auto entry = m_folders.begin(); entry != m_folders.end();) {
        if (entry->second.pictures.empty()) {
            entry = m_folders.erase(entry);
            continue;
        }
        if (const PendingPicture* picture = first_free(entry->second))
            return PendingBuild{picture->path, entry->second.drive_path};
        ++entry;
    }
    return std::nullopt;
}

void PendingPictures::set_building(const std::u16string& picture) {
    if (m_queued.count(picture) != 0) m_building.insert(picture);
}

bool PendingPictures::remove(const std::u16string& folder, const std::u16string& picture) {
    const auto entry = m_folders.find(folder);
    if (entry == m_folders.end()) return false;
    auto& pictures = entry->second.pictures;
    const auto found = std::find_if(pictures.begin(), pictures.end(),
                                    [&](const PendingPicture& p) { return p.path == picture; });
    if (found == pictures.end()) return false;
    pictures.erase(found);
    m_queued.erase(picture);
    m_building.erase(picture);
    if (pictures.empty()) m_folders.erase(entry);
    return true;
}

}  // namespace vistrel
