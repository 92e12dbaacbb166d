#include "screens/album_element.h"

#include "library/cache/cache_file.h"
#include "platform/text.h"
#include "platform/trace.h"
#include "render/bitmap.h"
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

AlbumElement::AlbumElement(Properties& properties, PhotoLibrary& library, Folder folder)
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
            m_library.add_picture(key, drive);
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
