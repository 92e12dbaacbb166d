#pragma once
// One album of the album screen's list, built from the skin node "AlbumElement": the key
// picture's thumbnail in "image" (framed by the picture "image" has in the skin), the
// folder's name in "name" and its number of pictures in "count". "loading" and "bad" only
// hold the pictures shown while the thumbnail is being built and when there is none.

#include "library/folder_list.h"
#include "library/photo_library.h"
#include "screens/thumbnails.h"
#include "skin/properties.h"
#include "ui/element.h"
#include "ui/image_element.h"
#include "ui/vlist.h"

namespace vistrel {

class AlbumElement final : public Element, public ListItem {
public:
    // Throws dovado::NodeNotFoundInSkin without the node and dovado::NodeNotFound without
    // one of its five children. With `key_side` above the skin's size of "image" the key
    // picture is shown that large (in pixels): the entry grows by as much, and what lies
    // beside the picture moves over.
    AlbumElement(Properties& properties, PhotoLibrary& library, Folder folder, int key_side = 0);

    // Shows the thumbnail (queueing its picture when the cache file is missing), the name
    // and the count.
    void bind(VList& list, int index, bool state) override;

    const Folder& folder() const { return m_folder; }
    // What "image" shows now (Missing also while the quick thumbnail is shown).
    ThumbnailState shown() const { return m_shown; }
    // While the key picture's cache file is being built: shows its quick thumbnail once
    // made (asking for it until then); true when the image changed.
    bool show_quick_thumbnail();
    // A grown key picture with a cache file is shown from its smallest level once read:
    // true the first time it is to be asked for since the entry was bound.
    bool take_level_request();
    // Shows the key picture made from the smallest level.
    void show_level(const PictureReference& picture);

private:
    void grow_key_picture(int side);

    Properties& m_properties;
    PhotoLibrary& m_library;
    Folder m_folder;
    ImageElement* m_image = nullptr;
    PictureReference m_frame;
    PictureReference m_loading;
    PictureReference m_bad;
    ThumbnailState m_shown = ThumbnailState::Missing;
    bool m_quick_shown = false;
    bool m_grown = false;
    bool m_level_asked = false;
};

}  // namespace vistrel
