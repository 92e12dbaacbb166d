// Tiles from cache files: the top-left, middle and bottom-right full-size tiles of large
// pictures against libjpeg-turbo's cropped decoding of the same 256 x 256 region and the
// decoding of a stand-alone 256 x 256 JPEG of the same pixels, in the same run; the memory
// a tile source holds.

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "bench_pictures.h"
#include "library/cache_builder.h"
#include "library/cache_file.h"
#include "library/cache_tile_source.h"
#include "platform/text.h"
#include "render/bitmap.h"

namespace vistrel {
namespace {

constexpr int kTile = 256;

// A large picture with its cache file, made once per size. Its bottom-right whole tile
// holds the same pixels as its top-left one, so that the two cost the same to decode
// wherever the tile lies, and comparing them measures what the position costs.
struct CachedPicture {
    std::u16string path;
    std::u16string drive;
    std::vector<uint8_t> jpeg;
    int width = 0;
    int height = 0;
};

std::vector<uint8_t> with_corners_alike(const std::vector<uint8_t>& jpeg) {
    bench::RgbPicture picture = bench::decode_picture(jpeg);
    const size_t row_bytes = size_t(picture.width) * 3;
    const size_t x = size_t(picture.width / kTile - 1) * kTile;
    const size_t y = size_t(picture.height / kTile - 1) * kTile;
    for (size_t row = 0; row < kTile; ++row)
        std::copy_n(&picture.pixels[row * row_bytes], size_t(kTile) * 3,
                    &picture.pixels[(y + row) * row_bytes + x * 3]);
    return bench::encode_picture(picture.pixels, picture.width, picture.height);
}

const CachedPicture& cached_picture(int megapixels) {
    static std::map<int, CachedPicture> made;
    CachedPicture& picture = made[megapixels];
    if (picture.path.empty()) {
        picture.jpeg = with_corners_alike(bench::large_picture(megapixels));
        const std::string file =
            bench::bench_file("corners-" + std::to_string(megapixels) + ".jpg", picture.jpeg);
        picture.path = from_utf8(file);
        picture.drive = from_utf8(std::filesystem::path(file).parent_path().string());
        if (!is_cache_valid(picture.path, picture.drive))
            build_cache_file(picture.path, picture.drive, {});
        CacheTileSource source(picture.path, picture.drive);
        source.open();
        picture.width = source.width();
        picture.height = source.height();
    }
    return picture;
}

// The full-size tile at a position: 0 top-left, 1 middle, 2 the bottom-right whole tile,
// 3 the bottom-right corner tile (narrower and shorter when the picture's sides are not
// multiples of 256).
struct TilePlace {
    int column, row;
    int x, y, width, height;  // its pixels
};

TilePlace place(const CachedPicture& picture, int position) {
    const int columns = (picture.width + kTile - 1) / kTile;
    const int rows = (picture.height + kTile - 1) / kTile;
    TilePlace p{};
    const int whole_columns = picture.width / kTile, whole_rows = picture.height / kTile;
    const int column_at[4] = {0, columns / 2, whole_columns - 1, columns - 1};
    const int row_at[4] = {0, rows / 2, whole_rows - 1, rows - 1};
    p.column = column_at[position];
    p.row = row_at[position];
    p.x = p.column * kTile;
    p.y = p.row * kTile;
    p.width = std::min(kTile, picture.width - p.x);
    p.height = std::min(kTile, picture.height - p.y);
    return p;
}

double seconds_now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The median time of `repeats` runs.
template <typename Work>
double median_seconds(Work work, int repeats) {
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        const double start = seconds_now();
        work();
        times.push_back(seconds_now() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void BM_CacheTile(benchmark::State& state) {
    const CachedPicture& picture = cached_picture(int(state.range(0)));
    const TilePlace p = place(picture, int(state.range(1)));
    CacheTileSource source(picture.path, picture.drive);
    if (!source.open() || !source.make_tile(p.column, p.row, source.levels()))
        return state.SkipWithError("no tile");
    for (auto _ : state)
        benchmark::DoNotOptimize(source.make_tile(p.column, p.row, source.levels()));
}

void BM_LibjpegCroppedDecode(benchmark::State& state) {
    const CachedPicture& picture = cached_picture(int(state.range(0)));
    const TilePlace p = place(picture, int(state.range(1)));
    for (auto _ : state)
        benchmark::DoNotOptimize(
            bench::cropped_decode(picture.jpeg, p.x, p.y, p.width, p.height).data());
}

// A stand-alone 256 x 256 JPEG of the middle tile's pixels.
std::vector<uint8_t> standalone_tile(const CachedPicture& picture) {
    const TilePlace p = place(picture, 1);
    return bench::encode_picture(bench::cropped_decode(picture.jpeg, p.x, p.y, kTile, kTile), kTile,
                                 kTile);
}

void BM_LibjpegStandaloneTile(benchmark::State& state) {
    const std::vector<uint8_t> jpeg = standalone_tile(cached_picture(int(state.range(0))));
    for (auto _ : state)
        bench::full_decode(jpeg);
}

// All of the above in one run, as ratios of median times: the bottom-right whole tile
// against the top-left one, libjpeg's cropped decoding of the bottom-right region against
// our tile, and our middle tile against the stand-alone JPEG.
void BM_TileRatios(benchmark::State& state) {
    const CachedPicture& picture = cached_picture(int(state.range(0)));
    CacheTileSource source(picture.path, picture.drive);
    if (!source.open()) return state.SkipWithError("no source");
    const int full = source.levels();
    const std::vector<uint8_t> standalone = standalone_tile(picture);
    for (auto _ : state) {
        double tile[3];
        for (int position = 0; position < 3; ++position) {
            const TilePlace p = place(picture, position);
            tile[position] = median_seconds(
                [&] { benchmark::DoNotOptimize(source.make_tile(p.column, p.row, full)); }, 31);
        }
        const TilePlace last = place(picture, 2);
        const double cropped = median_seconds(
            [&] { bench::cropped_decode(picture.jpeg, last.x, last.y, last.width, last.height); },
            5);
        const double alone = median_seconds([&] { bench::full_decode(standalone); }, 31);
        state.SetIterationTime(tile[2]);
        state.counters["tl_ms"] = tile[0] * 1e3;
        state.counters["mid_ms"] = tile[1] * 1e3;
        state.counters["br_ms"] = tile[2] * 1e3;
        state.counters["crop_ms"] = cropped * 1e3;
        state.counters["alone_ms"] = alone * 1e3;
        state.counters["br_over_tl"] = tile[2] / tile[0];
        state.counters["crop_over_br"] = cropped / tile[2];
        state.counters["mid_over_alone"] = tile[1] / alone;
    }
}

// Bytes of the heap in use.
int64_t heap_bytes() {
    return int64_t(mallinfo2().uordblks);
}

// What a tile source holds with the full-size level current, against the level's records:
// the heap it takes from before it opens to after its first tile, and the bytes it counts
// as held itself.
void BM_TileSourceMemory(benchmark::State& state) {
    const CachedPicture& picture = cached_picture(int(state.range(0)));
    for (auto _ : state) {
        const int64_t before = heap_bytes();
        auto source = std::make_unique<CacheTileSource>(picture.path, picture.drive);
        if (!source->open()) return state.SkipWithError("no source");
        const TilePlace p = place(picture, 2);
        source->make_tile(p.column, p.row, source->levels());
        const int64_t after = heap_bytes();
        const std::u16string cache = cache_file_name(picture.path, picture.drive);
        FileStream file(cache, OpenMode::Read);
        CacheHeader header;
        header.read(file, file.size());
        state.counters["records_KB"] = header.levels[0].records_size / 1024.0;
        state.counters["held_KB"] = double(source->held_bytes()) / 1024.0;
        state.counters["heap_KB"] = double(after - before) / 1024.0;
        state.counters["picture_MB"] = double(picture.jpeg.size()) / 1e6;
    }
}

void positions(benchmark::internal::Benchmark* b) {
    for (int megapixels : {12, 24, 48})
        for (int position : {0, 1, 2, 3})
            b->Args({megapixels, position});
}

BENCHMARK(BM_CacheTile)->Apply(positions)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LibjpegCroppedDecode)->Apply(positions)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibjpegStandaloneTile)->Arg(24)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TileRatios)
    ->Arg(12)
    ->Arg(24)
    ->Arg(48)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TileSourceMemory)->Arg(48)->Iterations(1);

}  // namespace
}  // namespace vistrel
