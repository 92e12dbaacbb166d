#pragma once
// The pictures still waiting for their cache files, by folder: the photo library's pending
// map. Folders are ordered by path (plain code-unit order); each keeps its pictures in the
// order they are to be built, with the place each had in the list when it was queued, by
// which the list is re-ordered around the picture the user looks at. Not locked: its owner
// guards it.

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vistrel {

struct PendingPicture {
    int index = 0;  // the list's length when the picture was queued
    std::u16string path;
};

struct PendingFolder {
    std::u16string drive_path;
    std::vector<PendingPicture> pictures;
};

// What prioritize found.
enum class Priority {
    NoFolder,   // the folder has nothing queued
    NotQueued,  // the folder has pictures queued, but not this one (its cache file is built)
    Ordered,    // the folder's list is now ordered by distance from the picture
};

// The next picture to build and the storage root it was found under.
struct PendingBuild {
    std::u16string picture;
    std::u16string drive_path;
};

class PendingPictures {
public:
    // Queues a picture of `folder` found under `drive`; false when it is already queued.
    bool add(const std::u16string& folder, const std::u16string& drive,
             const std::u16string& picture);
    // Orders the folder's list by distance from the picture's place (stable for equal
    // distances), so that the pictures next to it are built first.
    Priority prioritize(const std::u16string& folder, const std::u16string& picture);
    // The first picture not being built of `preferred` when that folder has one, else the
    // first such of the folders in order. Erases empty folders met on the way.
    std::optional<PendingBuild> next(const std::u16string& preferred);
    // Marks a queued picture as being built: next passes over it until it is removed.
    void set_building(const std::u16string& picture);
    // Removes a picture from its folder's list, and the folder when that empties it. False
    // when it was not queued.
    bool remove(const std::u16string& folder, const std::u16string& picture);

    bool empty() const { return m_folders.empty(); }
    size_t picture_count() const { return m_queued.size(); }
    bool contains(const std::u16string& picture) const { return m_queued.count(picture) != 0; }

private:
    // The first picture of the folder not being built, or null.
    const PendingPicture* first_free(const PendingFolder& folder) const;

    std::map<std::u16string, PendingFolder> m_folders;
    std::set<std::u16string> m_queued;    // every picture path in the lists
    std::set<std::u16string> m_building;  // the queued pictures being built
};

}  // namespace vistrel
