#include "screens/stand_in.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace vistrel {

namespace {

// Where each of `count` output positions starts in a source of `length`; one entry more
// marks the end. Every output position covers at least one source position.
std::vector<int> spans(int length, int count) {
    std::vector<int> starts(static_cast<size_t>(count) + 1);
    for (int i = 0; i <= count; ++i)
        starts[static_cast<size_t>(i)] = static_cast<int>(int64_t(i) * length / count);
    for (int i = 1; i <= count; ++i)
        starts[size_t(i)] = std::max(starts[size_t(i)], starts[size_t(i) - 1] + 1);
    starts[size_t(count)] = std::min(starts[size_t(count)], length);
    return starts;
}

}  // namespace

std::unique_ptr<Bitmap> fit_stand_in(const Bitmap& art, Size cell) {
    if (art.width() < 1 || art.height() < 1 || cell.w < 1 || cell.h < 1) return nullptr;
    auto out = Bitmap::create(cell);
    if (!out) return nullptr;
    out->clear(art.row(0)[0]);
    // The largest size of the art's proportions that fits the cell, never enlarged.
    Size fitted = art.size();
    if (fitted.w > cell.w || fitted.h > cell.h) {
        if (int64_t(art.width()) * cell.h >= int64_t(art.height()) * cell.w)
            fitted = {cell.w, static_cast<int>(std::max<int64_t>(
                                  1, int64_t(art.height()) * cell.w / art.width()))};
        else
            fitted = {static_cast<int>(std::max<int64_t>(
                          1, int64_t(art.width()) * cell.h / art.height())),
                      cell.h};
    }
    const Point at{(cell.w - fitted.w) / 2, (cell.h - fitted.h) / 2};
    if (fitted == art.size()) {
        for (int y = 0; y < fitted.h; ++y)
            std::memcpy(out->row(at.y + y) + at.x, art.row(y), size_t(fitted.w) * sizeof(Pixel));
        return out;
    }
    const std::vector<int> columns = spans(art.width(), fitted.w);
    const std::vector<int> rows = spans(art.height(), fitted.h);
    // Channel sums of one output row, added up over the art rows it covers.
    std::vector<uint32_t> red(size_t(fitted.w)), green(size_t(fitted.w)), blue(size_t(fitted.w));
    for (int y = 0; y < fitted.h; ++y) {
        std::fill(red.begin(), red.end(), 0);
        std::fill(green.begin(), green.end(), 0);
        std::fill(blue.begin(), blue.end(), 0);
        for (int sy = rows[size_t(y)]; sy < rows[size_t(y) + 1]; ++sy) {
            const Pixel* source = art.row(sy);
            for (int x = 0; x < fitted.w; ++x)
                for (int sx = columns[size_t(x)]; sx < columns[size_t(x) + 1]; ++sx) {
                    const Pixel p = source[sx];
                    red[size_t(x)] += p >> 11;
                    green[size_t(x)] += (p >> 5) & 0x3F;
                    blue[size_t(x)] += p & 0x1F;
                }
        }
        const uint32_t height = uint32_t(rows[size_t(y) + 1] - rows[size_t(y)]);
        Pixel* target = out->row(at.y + y) + at.x;
        for (int x = 0; x < fitted.w; ++x) {
            const uint32_t n = height * uint32_t(columns[size_t(x) + 1] - columns[size_t(x)]);
            const uint32_t r = (red[size_t(x)] + n / 2) / n;
            const uint32_t g = (green[size_t(x)] + n / 2) / n;
            const uint32_t b = (blue[size_t(x)] + n / 2) / n;
            target[x] = static_cast<Pixel>(r << 11 | g << 5 | b);
        }
    }
    return out;
}

}  // namespace vistrel
