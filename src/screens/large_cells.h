#pragma once
// The pictures of the folder grid's large cells. A picture with a cache file is drawn from
// its smallest level, read off the interface thread; until then its framed small thumbnail,
// stretched, stands in. The pictures made are kept in a cache bounded in bytes; one dropped
// from it is read again when its row is shown again.

#include <cstdint>
#include <string>
#include <vector>

#include "screens/cell_pictures.h"
#include "screens/grid_cells.h"
#include "shell/idle_probes.h"
#include "skin/picture_reference.h"

namespace vistrel {

class LargeCells {
public:
    // Starts over for `count` pictures in cells of `cells` (large ones) framed by `frame`,
    // with `bad` and `loading` shown in them at the cells' size; `budget` bytes of pictures
    // are kept.
    void restart(const GridCells& cells, int count, const PictureReference& frame,
                 const PictureReference& bad, const PictureReference& loading, size_t budget);
    // Picture `g`, whose framed small thumbnail is `thumbnail`: its level when read, else the
    // thumbnail stretched. With `has_cache` the level is asked for (once) from `picture`'s
    // cache file under `drive`.
    PictureReference picture(int g, const PictureReference& thumbnail, bool has_cache,
                             const std::u16string& picture, const std::u16string& drive);
    const PictureReference& bad() const { return m_bad; }
    const PictureReference& loading() const { return m_loading; }
    // Picture `g` has a new thumbnail (its cache file was built again): read it anew.
    void forget(int g);
    // Takes the levels read since the last call; the pictures whose cells changed.
    std::vector<int> collect();

    // For the dump and benchmarks: levels shown, stand-ins shown, bytes kept.
    int sharp_count() const;
    size_t bytes() const { return m_cache.bytes(); }

private:
    enum class State : uint8_t { None, Asked, Sharp, NoLevel };

    GridCells m_cells;
    Size m_size;
    std::vector<State> m_states;
    PictureReference m_bad;
    PictureReference m_loading;
    CellPictureLoader m_loader;
    CellPictureCache m_cache{0};
    // `settle` waits for the levels asked for.
    IdleProbeScope m_idle{[this] { return m_loader.idle(); }};
};

}  // namespace vistrel
