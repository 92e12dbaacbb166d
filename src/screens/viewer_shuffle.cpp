// The image viewer's shuffled slide show, and how it follows a folder that changes.

#include <algorithm>
#include <random>

#include "library/photo_library.h"
#include "platform/app_folders.h"
#include "platform/path_parts.h"
#include "platform/registry.h"
#include "platform/trace.h"
#include "screens/image_viewer.h"
#include "shell/application.h"

namespace vistrel {

namespace {

constexpr char16_t kShuffleValue[] = u"Shuffle";

int index_of(const std::vector<std::u16string>& pictures, const std::u16string& picture) {
    const auto at = std::find(pictures.begin(), pictures.end(), picture);
    return at == pictures.end() ? -1 : static_cast<int>(at - pictures.begin());
}

}  // namespace

bool shuffle_setting() {
    uint32_t value = 0;
    return read_dword(kAppKey, kShuffleValue, value) && value != 0;
}

void ImageViewer::set_shuffle(bool on, bool remember) {
    if (remember) write_dword(kAppKey, kShuffleValue, on ? 1 : 0);
    if (on == m_shuffle) return;
    m_shuffle = on;
    if (!on)
        stop_deck();
    else if (m_slide_show && !m_deck)
        start_deck();
}

void ImageViewer::start_deck() {
    if (m_folder_order.empty()) return;
    if (m_deck_file.empty()) m_deck_file = join(state_folder(), u"shuffle.txt");
    // A session on a simulated clock deals the same order on every run, as it draws the
    // same frames.
    Application* app = Application::instance();
    const bool simulated = app && app->window().clock().simulated();
    m_deck = std::make_unique<ShuffleDeck>(simulated ? 0x5eed : std::random_device{}());
    const std::u16string folder = directory_part(m_folder_order.front());
    if (!m_deck->start(folder, m_folder_order, read_deck_file(m_deck_file)))
        trace() << "ImageViewer: " << m_deck_file << " is damaged; the deck starts afresh\n";
    const std::u16string first = m_deck->deal();
    show_sequence(m_deck->sequence(), first);
    save_deck();
}

bool ImageViewer::deal_next() {
    bool new_round = false;
    if (!m_slide_loop && m_deck->dealt() >= m_deck->sequence().size()) return false;
    const std::u16string next = m_deck->deal(&new_round);
    save_deck();
    if (new_round) {
        show_sequence(m_deck->sequence(), next);
    } else if (picture_for(2) == next) {
        show_neighbour(1);
    } else {
        show_sequence(m_deck->sequence(), next);
    }
    return true;
}

void ImageViewer::deck_moved() {
    if (!m_deck || m_index < 0) return;
    if (m_deck->dealt() == static_cast<size_t>(m_index) + 1) return;
    m_deck->move_to(static_cast<size_t>(m_index));
    save_deck();
}

void ImageViewer::save_deck() {
    if (m_deck && !write_deck_file(m_deck_file, m_deck->save()))
        trace() << "ImageViewer: cannot write " << m_deck_file << "\n";
}

void ImageViewer::stop_deck() {
    if (!m_deck) return;
    save_deck();
    m_deck.reset();
    // Back in the folder's order, on the picture shown.
    show_sequence(m_folder_order, picture_for(1));
}

void ImageViewer::show_sequence(const std::vector<std::u16string>& pictures,
                                const std::u16string& shown) {
    if (!m_open || pictures.empty()) return;
    if (m_scroll_direction != 0) finish_scroll();
    const bool same_front = !shown.empty() && picture_for(1) == shown;
    m_pictures = pictures;
    m_index = std::max(0, index_of(m_pictures, shown));
    if (!same_front) {
        load_slots();
        return;
    }
    // The picture in front stays as the user sees it; only its neighbours change.
    for (int slot : {0, 2}) {
        const ZoomImage* view = m_tiles.view(slot);
        if (!view || view->file() != picture_for(slot)) reset_slot(slot);
    }
    place_views();
}

void ImageViewer::on_folder_changed(const std::u16string& folder) {
    const std::vector<std::u16string> now = folder_pictures(folder);
    if (now == m_folder_order) return;
    trace() << "ImageViewer: " << folder << " changed, " << now.size() << " pictures\n";
    for (const std::u16string& picture : now)
        if (std::find(m_folder_order.begin(), m_folder_order.end(), picture) == m_folder_order.end())
            m_library.add_picture(picture, m_drive);
    // The folder's grid and its album follow the same change by themselves.
    update_pictures(now);
}

void ImageViewer::update_pictures(const std::vector<std::u16string>& pictures) {
    if (!m_open) return;
    if (pictures.empty()) {
        back();
        return;
    }
    const std::u16string shown = picture_for(1);
    m_folder_order = pictures;
    if (m_deck) {
        m_deck->update(pictures);
        save_deck();
    }
    const std::vector<std::u16string>& order = m_deck ? m_deck->sequence() : m_folder_order;
    if (index_of(order, shown) >= 0) {
        show_sequence(order, shown);
        return;
    }
    // The shown picture is gone: the one that took its place in the list comes.
    const int at = std::min(m_index, static_cast<int>(order.size()) - 1);
    show_sequence(order, order[static_cast<size_t>(at)]);
    if (m_deck) m_deck->move_to(static_cast<size_t>(m_index));
}

}  // namespace vistrel
