#include "display/remap.h"

namespace vistrel {

uint32_t remap_arrow_key(uint32_t virtual_key, int r) {
    if (virtual_key < 37 || virtual_key > 40) return virtual_key;
    const uint32_t k = virtual_key - 37;
    return 37 + ((k + static_cast<uint32_t>(r & 3)) & 3);
}

Point remap_point(Point p, int r, int width, int height) {
    switch (r & 3) {
        case 1:
            return {width - p.y - 1, p.x};
        case 2:
            return {width - p.x - 1, height - p.y - 1};
        case 3:
            return {p.y, height - p.x - 1};
        default:
            return p;
    }
}

}  // namespace vistrel
