#include "screens/large_cells.h"

#include <algorithm>

namespace vistrel {

void LargeCells::restart(const GridCells& cells, int count, const PictureReference& frame,
                         const PictureReference& bad, const PictureReference& loading,
                         size_t budget) {
    m_cells = cells;
    m_size = {cells.image, cells.image};
    m_states.assign(static_cast<size_t>(std::max(count, 0)), State::None);
    m_cache.clear();
    m_cache.set_budget(budget);
    m_bad = stretched_picture(bad, m_size, u"bad");
    m_loading = stretched_picture(loading, m_size, u"loading");
    m_loader.restart(m_size, stretched_picture(capped_picture(frame), m_size));
}

PictureReference LargeCells::picture(int g, const PictureReference& thumbnail, bool has_cache,
                                     const std::u16string& picture, const std::u16string& drive) {
    if (g < 0 || g >= static_cast<int>(m_states.size())) return m_loading;
    State& state = m_states[static_cast<size_t>(g)];
    const PictureReference* kept = m_cache.find(g);
    if (state == State::Sharp && kept) return *kept;
    // A level dropped from the cache is read again.
    if (state == State::Sharp) state = State::None;
    if (has_cache && state == State::None) {
        state = State::Asked;
        m_loader.request(g, picture, drive);
    }
    if (kept) return *kept;
    PictureReference stand_in = stretched_picture(thumbnail, m_size, u"stand_in");
    if (stand_in.empty()) return m_loading;
    m_cache.put(g, stand_in);
    return stand_in;
}

void LargeCells::forget(int g) {
    if (g < 0 || g >= static_cast<int>(m_states.size())) return;
    m_states[static_cast<size_t>(g)] = State::None;
    m_cache.erase(g);
}

std::vector<int> LargeCells::collect() {
    std::vector<int> changed;
    for (CellPictureLoader::Done& done : m_loader.take_done()) {
        if (done.key < 0 || done.key >= static_cast<int>(m_states.size())) continue;
        State& state = m_states[static_cast<size_t>(done.key)];
        if (state != State::Asked) continue;
        if (done.picture.empty()) {
            state = State::NoLevel;
            continue;
        }
        state = State::Sharp;
        m_cache.put(done.key, std::move(done.picture));
        changed.push_back(done.key);
    }
    return changed;
}

int LargeCells::sharp_count() const {
    return static_cast<int>(std::count(m_states.begin(), m_states.end(), State::Sharp));
}

}  // namespace vistrel
