// Tiles from cache files: the top-left, middle and bottom-right full-size tiles of large
// pictures against libjpeg-turbo's cropped decoding of the same 256 x 256 region and the
// decoding of a stand-alone 256 x 256 JPEG of the same pixels, in the same run; the memory
// a tile source holds.

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "bench_pictures.h"
#include "unchecked_cache.h"
#include "library/cache/cache_builder.h"
#include "library/cache/cache_file.h"
#include "library/tiles/cache_tile_source.h"
#include "platform/text.h"
#include "render/bitmap.h"

namespace vistrel {
namespace {

constexpr int kTile = 256;

// A large picture with its cache file, made once per size: 3:2, with sides that are whole
// numbers of tiles, so that the bottom-right tile is a whole one. Its bottom-right tile and
// the one diagonally before it hold the same pixels as the top-left tile, so that comparing
// them measures what the position costs rather than what the content does.
struct CachedPicture {
    std::u16string path;
    std::u16string drive;
    std::vector<uint8_t> jpeg;
    int width = 0;
    int height = 0;
};

std::vector<uint8_t> picture_with_tiles_alike(int megapixels) {
    const int rows = int(std::lround(std::sqrt(megapixels * 1e6 / 1.5) / kTile));
    const int columns = rows * 3 / 2;
    bench::RgbPicture picture = bench::scene_pixels(columns * kTile, rows * kTile);
    const size_t row_bytes = size_t(picture.width) * 3;
    for (const int back : {1, 2}) {
        const size_t x = size_t(columns - back) * kTile, y = size_t(rows - back) * kTile;
        for (size_t row = 0; row < kTile; ++row)
            std::copy_n(&picture.pixels[row * row_bytes], size_t(kTile) * 3,
                        &picture.pixels[(y + row) * row_bytes + x * 3]);
    }
    return bench::encode_picture(picture.pixels, picture.width, picture.height);
}

const CachedPicture& cached_picture(int megapixels) {
    static std::map<int, CachedPicture> made;
    CachedPicture& picture = made[megapixels];
    if (picture.path.empty()) {
        picture.jpeg = picture_with_tiles_alike(megapixels);
        const std::string file =
            bench::bench_file("tiles-" + std::to_string(megapixels) + ".jpg", picture.jpeg);
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

// The full-size tile at a position: 0 top-left, 1 middle, 2 bottom-right, 3 the one
// diagonally before the bottom-right one (with neighbours on all sides).
struct TilePlace {
    int column, row;
    int x, y, width, height;  // its pixels
};

TilePlace place(const CachedPicture& picture, int position) {
    const int columns = (picture.width + kTile - 1) / kTile;
    const int rows = (picture.height + kTile - 1) / kTile;
    const int column_at[4] = {0, columns / 2, columns - 1, columns - 2};
    const int row_at[4] = {0, rows / 2, rows - 1, rows - 2};
    TilePlace p{};
    p.column = column_at[position];
    p.row = row_at[position];
    p.x = p.column * kTile;
    p.y = p.row * kTile;
    p.width = std::min(kTile, picture.width - p.x);
    p.height = std::min(kTile, picture.height - p.y);
    return p;
}

// CPU time of this thread: what a piece of work costs, whatever else the machine runs.
double cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The median CPU times of several pieces of work, run in turn `rounds` times so that they
// all see the same conditions.
std::vector<double> median_seconds(const std::vector<std::function<void()>>& works, int rounds) {
    std::vector<std::vector<double>> times(works.size());
    for (int round = 0; round < rounds; ++round)
        for (size_t i = 0; i < works.size(); ++i) {
            const double start = cpu_seconds();
            works[i]();
            times[i].push_back(cpu_seconds() - start);
        }
    std::vector<double> medians;
    for (auto& t : times)
        medians.push_back(median(std::move(t)));
    return medians;
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

// All of the above in one run, as ratios of median CPU times, the tiles and the stand-alone
// JPEG measured in turn: the bottom-right tile (and the one diagonally before it) against
// the top-left one, libjpeg's cropped decoding of the bottom-right region against our
// tile, and our middle tile against the stand-alone JPEG.
void BM_TileRatios(benchmark::State& state) {
    const CachedPicture& picture = cached_picture(int(state.range(0)));
    CacheTileSource source(picture.path, picture.drive);
    if (!source.open()) return state.SkipWithError("no source");
    const int full = source.levels();
    const std::vector<uint8_t> standalone = standalone_tile(picture);
    std::vector<std::function<void()>> works;
    for (int position = 0; position < 4; ++position)
        works.push_back([&source, p = place(picture, position), full] {
            benchmark::DoNotOptimize(source.make_tile(p.column, p.row, full));
        });
    works.push_back([&] { bench::full_decode(standalone); });
    const TilePlace last = place(picture, 2);
    for (auto _ : state) {
        const std::vector<double> times = median_seconds(works, 201);
        const double cropped = median_seconds(
            {[&] { bench::cropped_decode(picture.jpeg, last.x, last.y, last.width, last.height); }},
            5)[0];
        const double top_left = times[0], middle = times[1], bottom_right = times[2];
        const double inner = times[3], alone = times[4];
        state.SetIterationTime(bottom_right);
        state.counters["tl_ms"] = top_left * 1e3;
        state.counters["mid_ms"] = middle * 1e3;
        state.counters["br_ms"] = bottom_right * 1e3;
        state.counters["crop_ms"] = cropped * 1e3;
        state.counters["alone_ms"] = alone * 1e3;
        state.counters["br_over_tl"] = bottom_right / top_left;
        state.counters["inner_over_tl"] = inner / top_left;
        state.counters["crop_over_br"] = cropped / bottom_right;
        state.counters["mid_over_alone"] = middle / alone;
    }
}

// The progressive twin of a picture, written beside it with its cache file.
std::u16string cached_progressive(int megapixels, const std::vector<uint8_t>& progressive,
                                  const std::u16string& drive) {
    const std::u16string path = from_utf8(
        bench::bench_file("progressive-" + std::to_string(megapixels) + ".jpg", progressive));
    if (!is_cache_valid(path, drive)) build_cache_file(path, drive, {});
    return path;
}

// The bottom-right full-size tile of a progressive picture, made from the baseline copy in
// its cache file, against the same tile of its baseline twin, in turn in one run (median
// CPU times); and the copy's size against the picture's.
void BM_ProgressiveTileRatio(benchmark::State& state) {
    const int megapixels = int(state.range(0));
    const CachedPicture& baseline = cached_picture(megapixels);
    const std::vector<uint8_t> progressive = bench::progressive_twin(baseline.jpeg);
    const std::u16string path = cached_progressive(megapixels, progressive, baseline.drive);
    CacheTileSource twin(baseline.path, baseline.drive), source(path, baseline.drive);
    if (!twin.open() || !source.open() || !source.uses_records(source.levels()))
        return state.SkipWithError("no progressive source with records");
    FileStream cache(source.cache_path(), OpenMode::Read);
    CacheHeader header;
    header.read(cache, cache.size());
    const TilePlace last = place(baseline, 2);
    const int full = source.levels();
    for (auto _ : state) {
        const std::vector<double> times = median_seconds(
            {[&] { benchmark::DoNotOptimize(twin.make_tile(last.column, last.row, full)); },
             [&] { benchmark::DoNotOptimize(source.make_tile(last.column, last.row, full)); }},
            201);
        state.SetIterationTime(times[1]);
        state.counters["baseline_br_ms"] = times[0] * 1e3;
        state.counters["progressive_br_ms"] = times[1] * 1e3;
        state.counters["progressive_over_baseline"] = times[1] / times[0];
        state.counters["copy_over_picture"] = double(header.copy_size) / double(progressive.size());
        state.counters["picture_MB"] = double(progressive.size()) / 1e6;
    }
}

// What checking a level costs when a tile source first uses it: a new source's first tile
// of the largest cached level (cache level 1) and, for a progressive picture, of full size
// (its baseline copy), with checksums and without, in turn (median CPU times). The check
// is made once per level, so per tile it costs the difference over the level's tiles.
void BM_LevelCheck(benchmark::State& state) {
    const int megapixels = int(state.range(0));
    const CachedPicture& baseline = cached_picture(megapixels);
    const std::vector<uint8_t> progressive = bench::progressive_twin(baseline.jpeg);
    const std::u16string path = cached_progressive(megapixels, progressive, baseline.drive);
    const auto [plain, plain_drive] = bench::unchecked_twin(baseline.path, baseline.drive);
    const auto [plain_progressive, progressive_drive] = bench::unchecked_twin(path, baseline.drive);
    const auto first_tile = [](const std::u16string& picture, const std::u16string& drive,
                               bool full) {
        CacheTileSource source(picture, drive);
        const int level = full ? 0 : 1;  // cache level
        if (!source.open() || !source.make_tile(0, 0, source.levels() - level) ||
            source.damaged())
            std::abort();
    };
    CacheTileSource probe(baseline.path, baseline.drive);
    probe.open();
    const Size grid = probe.tile_grid(probe.levels() - 1);
    const Size full_grid = probe.tile_grid(probe.levels());
    for (auto _ : state) {
        const std::vector<double> t = median_seconds(
            {[&] { first_tile(baseline.path, baseline.drive, false); },
             [&, p = plain, d = plain_drive] { first_tile(p, d, false); },
             [&] { first_tile(path, baseline.drive, true); },
             [&, p = plain_progressive, d = progressive_drive] { first_tile(p, d, true); }},
            31);
        state.SetIterationTime(t[0]);
        const double level_check = t[0] - t[1], copy_check = t[2] - t[3];
        state.counters["level1_checked_ms"] = t[0] * 1e3;
        state.counters["level1_unchecked_ms"] = t[1] * 1e3;
        state.counters["level1_check_ms"] = level_check * 1e3;
        state.counters["level1_check_per_tile_us"] = level_check * 1e6 / (grid.w * grid.h);
        state.counters["copy_checked_ms"] = t[2] * 1e3;
        state.counters["copy_unchecked_ms"] = t[3] * 1e3;
        state.counters["copy_check_ms"] = copy_check * 1e3;
        state.counters["copy_check_per_tile_us"] = copy_check * 1e6 / (full_grid.w * full_grid.h);
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
BENCHMARK(BM_ProgressiveTileRatio)
    ->Arg(24)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LevelCheck)
    ->Arg(12)
    ->Arg(24)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TileSourceMemory)->Arg(48)->Iterations(1);

}  // namespace
}  // namespace vistrel
