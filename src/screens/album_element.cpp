#include "screens/album_element.h"

#include <algorithm>

#include "library/cache/cache_file.h"
#include "platform/text.h"
#include "platform/trace.h"
#include "render/bitmap.h"
#include "screens/cell_pictures.h"
#include "screens/folder_names.h"
#include "screens/skin_lookup.h"

namespace vistrel {

namespace {

constexpr char16_t kNode[] = u"AlbumElement";

Element& required(Element& root, const char16_t* id) {
    return required_child(root, kNode, id);
}

PictureReference picture_of(Element& root, const char16_t* id) {
    return required_child<ImageElement>(root, kNode, id).picture();
}

}  // namespace

AlbumElement::AlbumElement(Properties& properties, PhotoLibrary& library, Folder folder,
                           int key_side)
    : Element(nullptr), m_properties(properties), m_library(library), m_folder(std::move(folder)) {
    if (!load_from_skin(*this, properties, kNode)) throw dovado::NodeNotFoundInSkin(kNode);
    m_image = &required_child<ImageElement>(*this, kNode, u"image");
    m_frame = m_image->picture();
    m_loading = picture_of(*this, u"loading");
    m_bad = picture_of(*this, u"bad");
    // Those two only hold their pictures.
    required(*this, u"loading").set_visible(false);
    required(*this, u"bad").set_visible(false);
    required(*this, u"name");
    required(*this, u"count");
    if (key_side > m_image->design_size().x) grow_key_picture(key_side);
}

bool AlbumElement::take_level_request() {
    if (!m_grown || m_shown != ThumbnailState::Ready || m_level_asked) return false;
    m_level_asked = true;
    return true;
}

void AlbumElement::show_level(const PictureReference& picture) {
    if (m_shown == ThumbnailState::Ready && !picture.empty()) m_image->set_picture(picture);
}

void AlbumElement::grow_key_picture(int side) {
    m_grown = true;
    const Point old = m_image->design_size();
    const int grow_x = side - old.x;
    const int grow_y = std::max(side - old.y, 0);
    const int image_right = m_image->border_min().x + old.x;
    // Texts and lines beside the picture move over and stay centred on it.
    for (const auto& child : children()) {
        if (child.get() == m_image || child->border_min().x < image_right) continue;
        const Point at = child->border_min();
        const bool from_top = child->anchor(Axis::Y) == AnchorMode::MinSide;
        child->set_borders({at.x + grow_x, at.y + (from_top ? grow_y / 2 : 0)},
                           child->border_max());
    }
    m_image->set_design_size({side, side});
    set_design_size({design_size().x, design_size().y + grow_y});
    const Size size{side, side};
    m_frame = stretched_picture(capped_picture(m_frame), size, u"frame");
    m_loading = stretched_picture(m_loading, size, u"loading");
    m_bad = stretched_picture(m_bad, size, u"bad");
    invalidate_layout();
}

void AlbumElement::bind(VList&, int, bool) {
    const std::u16string& key = m_folder.key_picture;
    const std::u16string& drive = m_folder.drive_path;
    const std::u16string name = cache_file_name(key, drive);
    trace() << "Name " << key << "\n";
    trace() << "Drive " << drive << "\n";
    trace() << "Cache " << name << "\n";
    PictureReference thumbnail;
    m_quick_shown = false;
    m_level_asked = false;
    m_shown =
        load_framed_thumbnail(key, drive, thumbnail_size(*m_image, m_frame), m_frame, thumbnail);
    switch (m_shown) {
        case ThumbnailState::Ready:
            m_image->set_picture(thumbnail);
            break;
        case ThumbnailState::Failed:
            m_image->set_picture(m_bad);
            break;
        case ThumbnailState::Missing:
            // A picture whose build failed in this run is not built again.
            if (m_library.is_failed_picture(key)) {
                m_shown = ThumbnailState::Failed;
                m_image->set_picture(m_bad);
                break;
            }
            m_image->set_picture(m_loading);
            // Queued with its quick thumbnail asked for in the same step, as the grid's
            // pictures on screen are: no build starts before it is made.
            m_library.add_picture(key, drive, true);
            show_quick_thumbnail();
            break;
    }
    set_text_by_id(u"name", album_display_name(m_properties, m_folder.folder_path));
    set_text_by_id(u"count", to_u16(m_folder.size));
}

bool AlbumElement::show_quick_thumbnail() {
    if (m_shown != ThumbnailState::Missing || m_quick_shown) return false;
    const std::shared_ptr<const Bitmap> quick = m_library.quick_thumbnail(m_folder.key_picture);
    if (!quick) {
        m_library.request_quick_thumbnail(m_folder.key_picture);
        return false;
    }
    PictureReference framed = framed_thumbnail(*quick, thumbnail_size(*m_image, m_frame), m_frame,
                                               kQuickThumbnailName);
    if (framed.empty()) return false;
    m_image->set_picture(framed);
    m_quick_shown = true;
    return true;
}

}  // namespace vistrel
