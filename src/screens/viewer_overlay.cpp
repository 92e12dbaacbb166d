// The image viewer's overlay: the date the picture in front was taken and its caption, from
// the facts its cache file keeps (read once per picture), else its file's time and the
// album's name.

#include <algorithm>
#include <ctime>

#include "library/cache/cache_file.h"
#include "library/cache/picture_facts.h"
#include "platform/path_parts.h"
#include "platform/paths.h"
#include "screens/date_text.h"
#include "screens/folder_names.h"
#include "screens/image_viewer.h"

namespace vistrel {

namespace {

std::tm as_tm(const TakenDate& date) {
    std::tm out{};
    out.tm_year = date.year - 1900;
    out.tm_mon = date.month - 1;
    out.tm_mday = date.day;
    out.tm_hour = date.hour;
    out.tm_min = date.minute;
    out.tm_sec = date.second;
    return out;
}

}  // namespace

bool parse_overlay(const std::string& text, OverlayParts& parts) {
    parts = {};
    size_t at = 0;
    bool none = false;
    while (at <= text.size()) {
        const size_t comma = std::min(text.find(',', at), text.size());
        const std::string word = text.substr(at, comma - at);
        if (word == "date")
            parts.date = true;
        else if (word == "caption")
            parts.caption = true;
        else if (word == "none")
            none = true;
        else
            return false;
        at = comma + 1;
    }
    return !(none && (parts.date || parts.caption));
}

void ImageViewer::set_overlay(OverlayParts parts) {
    m_overlay = parts;
    m_overlay_picture.clear();
    update_overlay();
}

void ImageViewer::update_overlay() {
    const bool wanted = m_overlay.date || m_overlay.caption;
    if (m_overlay_root) m_overlay_root->set_visible(wanted && m_open);
    if (!wanted || !m_overlay_root || !m_open) return;
    const std::u16string picture = picture_for(1);
    if (picture == m_overlay_picture && m_overlay_cached) return;
    m_overlay_picture = picture;
    const std::optional<PictureFacts> facts =
        picture.empty() ? std::nullopt : read_cached_facts(cache_file_name(picture, m_drive));
    // Without a cache file yet, what the file system knows; the facts follow once it is built.
    m_overlay_cached = facts.has_value();
    std::u16string date;
    if (facts && facts->taken) {
        date = long_date_text(m_properties, as_tm(*facts->taken));
    } else if (const FileInfo info = file_info(picture); info.exists) {
        date = long_date_text(m_properties, std::time_t(info.modified_ns / 1000000000));
    }
    std::u16string caption = facts ? facts->caption : std::u16string();
    if (caption.empty() && !picture.empty())
        caption = album_display_name(m_properties, directory_part(picture));
    if (m_overlay_date) {
        m_overlay_date->set_visible(m_overlay.date);
        m_overlay_date->set_text_by_id(m_overlay_date->id(), m_overlay.date ? date : u"");
    }
    if (m_overlay_caption) {
        m_overlay_caption->set_visible(m_overlay.caption);
        m_overlay_caption->set_text_by_id(m_overlay_caption->id(),
                                          m_overlay.caption ? caption : u"");
    }
}

}  // namespace vistrel
