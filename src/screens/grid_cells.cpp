#include "screens/grid_cells.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>

namespace vistrel {

namespace {

int nearest_index(int size) {
    int best = 0;
    for (int i = 1; i < static_cast<int>(std::size(kCellSizes)); ++i)
        if (std::abs(kCellSizes[i] - size) < std::abs(kCellSizes[best] - size)) best = i;
    return best;
}

}  // namespace

int next_cell_size(int size, int step) {
    const int last = static_cast<int>(std::size(kCellSizes)) - 1;
    const int index = std::clamp(nearest_index(size) + (step > 0 ? 1 : step < 0 ? -1 : 0), 0, last);
    return kCellSizes[index];
}

GridCells grid_cells(int width, int shift, int cell_size, const SkinCell& skin) {
    shift = std::clamp(shift, 0, 4);
    const int design_width = std::max(width, 0) >> shift;
    GridCells cells;
    if (design_width <= kLargestProfileWidth) {
        cells.columns = std::clamp((design_width - 8) / 58, 1, kSkinColumns);
        return cells;
    }
    // The skin's margins around a thumbnail stay as they are; the thumbnail grows.
    const int image = kCellSizes[nearest_index(cell_size)] << shift;
    const int button_margin = std::max(skin.button - skin.image, 0);
    const int row_margin = std::max(skin.row - skin.button, 0);
    cells.large = true;
    cells.image = image;
    cells.button = image + button_margin;
    cells.row = cells.button + row_margin;
    const int pitch = std::max(cells.button + std::max(row_margin, 2 << shift), 1);
    cells.columns = std::max(1, (design_width - 8) * (1 << shift) / pitch);
    return cells;
}

}  // namespace vistrel
