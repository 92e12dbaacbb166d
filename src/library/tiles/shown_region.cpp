#include "library/tiles/shown_region.h"

#include <algorithm>

namespace vistrel {

namespace {

bool exchanges_sides(int orientation) {
    return orientation >= 5 && orientation <= 8;
}

// Where the shown pixel (x, y) of a piece comes from in the stored piece of width w and
// height h: column = column_x * x + column_y * y + column_end * (w - 1), row likewise.
struct Source {
    int column_x, column_y, column_end;
    int row_x, row_y, row_end;
};

Source source_of(int orientation) {
    switch (orientation) {
        case 2:
            return {-1, 0, 1, 0, 1, 0};
        case 3:
            return {-1, 0, 1, 0, -1, 1};
        case 4:
            return {1, 0, 0, 0, -1, 1};
        case 5:
            return {0, 1, 0, 1, 0, 0};
        case 6:
            return {0, 1, 0, -1, 0, 1};
        case 7:
            return {0, -1, 1, -1, 0, 1};
        case 8:
            return {0, -1, 1, 1, 0, 0};
        default:
            return {1, 0, 0, 0, 1, 0};
    }
}

}  // namespace

Size shown_size(Size stored, int orientation) {
    return exchanges_sides(orientation) ? Size{stored.h, stored.w} : stored;
}

Rect stored_region(const Rect& shown, Size stored, int orientation) {
    const int w = shown.right - shown.left, h = shown.bottom - shown.top;
    // The shown rectangle with the stored picture's axes, then mirrored where needed.
    Rect r = exchanges_sides(orientation)
                 ? Rect{shown.top, shown.left, shown.top + h, shown.left + w}
                 : shown;
    const Source s = source_of(orientation);
    if (s.column_end) r = {stored.w - r.right, r.top, stored.w - r.left, r.bottom};
    if (s.row_end) r = {r.left, stored.h - r.bottom, r.right, stored.h - r.top};
    return r;
}

void copy_shown(const Bitmap& stored, int orientation, Bitmap& out) {
    const Size shown = shown_size(stored.size(), orientation);
    const int w = std::min(shown.w, out.width());
    const int h = std::min(shown.h, out.height());
    if (orientation < 2 || orientation > 8) {
        for (int y = 0; y < h; ++y)
            std::copy_n(stored.row(y), w, out.row(y));
        return;
    }
    const Source s = source_of(orientation);
    const int pitch = stored.pitch() / 2;  // pixels
    const int step = s.column_x + s.row_x * pitch;
    for (int y = 0; y < h; ++y) {
        const int column = s.column_y * y + s.column_end * (stored.width() - 1);
        const int row = s.row_y * y + s.row_end * (stored.height() - 1);
        const Pixel* from = stored.pixels();
        ptrdiff_t at = ptrdiff_t(row) * pitch + column;
        Pixel* to = out.row(y);
        for (int x = 0; x < w; ++x, at += step)
            to[x] = from[at];
    }
}

}  // namespace vistrel
