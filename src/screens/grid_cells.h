#pragma once
// How the folder grid is cut into cells. On the device profiles (at most 800 pixels wide
// at 96 dpi) it has (design width - 8) / 58 columns, at most 6, of the skin's own cells.
// Wider screens get large cells, 128, 192 or 256 pixels a thumbnail as the user picks
// (at 96 dpi; doubled on the 192-dpi path), and as many columns as fit the width.

#include "render/geometry.h"

namespace vistrel {

// The widest device profile at 96 dpi; a wider screen gets large cells.
inline constexpr int kLargestProfileWidth = 800;
inline constexpr int kSkinColumns = 6;
inline constexpr int kCellSizes[] = {128, 192, 256};
inline constexpr int kDefaultCellSize = 128;

struct GridCells {
    int columns = 1;
    bool large = false;
    // Large cells only, in pixels: a thumbnail's side, its button's side, a row's height.
    int image = 0;
    int button = 0;
    int row = 0;
    friend bool operator==(const GridCells&, const GridCells&) = default;
};

// The skin's own cell, in pixels: the thumbnail image, its button and the row's height.
struct SkinCell {
    int image = 52;
    int button = 56;
    int row = 58;
};

// The cells of a grid `width` pixels wide with the skin's scale shift `shift`;
// `cell_size` (one of kCellSizes, else the nearest) matters only for large cells.
GridCells grid_cells(int width, int shift, int cell_size, const SkinCell& skin);

// The cell size one step larger (`step` > 0) or smaller than `size`, kept within
// kCellSizes; `size` itself is first taken to the nearest of them.
int next_cell_size(int size, int step);

}  // namespace vistrel
