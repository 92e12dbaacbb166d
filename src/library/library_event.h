#pragma once
// What the photo library tells the screens, and how they listen.

#include <string>

namespace vistrel {

struct LibraryEvent {
    bool folders_changed = false;  // the folder list changed
    bool search_complete = false;  // a search has ended
    bool cache_complete = false;   // every queued picture is built
    bool progress = false;         // `fraction` of the queued pictures is built
    bool picture_ready = true;     // `path`, when not empty, has its cache file now
    bool folder_emptied = false;   // sent by the viewer: the last picture of `folder` is gone
    bool refresh = false;          // sent by the viewer after deleting pictures
    bool folder_changed = false;   // pictures of the watched `folder` came, changed or went
    bool storage_changed = false;  // storage was mounted or unmounted
    std::u16string path;
    std::u16string folder;
    int count = 0;
    double fraction = 0;
    // With `path`: its cache file could not be built (see PhotoLibrary::is_failed_picture).
    bool failed = false;
};

class LibraryListener {
public:
    virtual ~LibraryListener() = default;
    virtual void on_library_event(const LibraryEvent& event) = 0;
};

}  // namespace vistrel
