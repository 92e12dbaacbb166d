// Building a cache file against one plain full decode of the same picture, in the same
// run; loading a thumbnail; reading the orientation. The pictures are real photos scaled
// up (or synthesised) and encoded at quality 90, or $VISTREL_BENCH_QUALITY. The build uses
// a second thread for the halved levels, so it reports two ratios: of wall time
// ("x_decode") and of CPU time over all threads ("cpu_x_decode").

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <tuple>

#include "bench_pictures.h"
#include "unchecked_cache.h"
#include "library/cache/cache_builder.h"
#include "library/cache/cache_file.h"
#include "library/cache/half_pass.h"
#include "library/cache/thumbnail.h"
#include "library/jpeg/byte_source.h"
#include "library/jpeg/jpeg_layout.h"
#include "library/jpeg/orientation.h"
#include "library/jpeg/scan_recorder.h"
#include "platform/file_stream.h"
#include "platform/text.h"
#include "render/bitmap.h"

namespace vistrel {
namespace {

double wall_seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// CPU time of the whole process (the cache build uses a second thread for the levels).
double cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

struct Cost {
    double wall = 0;
    double cpu = 0;
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The median wall and CPU time of `repeats` runs.
template <typename Work>
Cost cost_of(Work work, int repeats) {
    std::vector<double> wall, cpu;
    for (int i = 0; i < repeats; ++i) {
        const double w = wall_seconds(), c = cpu_seconds();
        work();
        wall.push_back(wall_seconds() - w);
        cpu.push_back(cpu_seconds() - c);
    }
    return {median(wall), median(cpu)};
}

void BM_FullDecode(benchmark::State& state) {
    const std::vector<uint8_t> jpeg = bench::large_picture(int(state.range(0)));
    for (auto _ : state)
        bench::full_decode(jpeg);
    state.counters["MB"] = double(jpeg.size()) / 1e6;
}

// The benchmark picture of `megapixels`, as a file with its cache folder ready, and its bytes.
struct BenchPicture {
    explicit BenchPicture(int megapixels)
        : file(bench::large_picture_file(megapixels)),
          jpeg(bench::large_picture(megapixels)),
          picture(from_utf8(file)),
          drive(from_utf8(std::filesystem::path(file).parent_path().string())) {
        std::filesystem::create_directories(to_utf8(cache_folder(drive)));
    }
    std::string file;
    std::vector<uint8_t> jpeg;
    std::u16string picture;
    std::u16string drive;
};

// The cache build against full decodes of the same picture in the same run: "x_decode" is
// the ratio of the median wall times, "cpu_x_decode" that of the CPU times (all threads).
void cache_build(benchmark::State& state, RecordingMode mode) {
    const BenchPicture sample(int(state.range(0)));
    const std::vector<uint8_t>& jpeg = sample.jpeg;
    const std::u16string& picture = sample.picture;
    const std::u16string& drive = sample.drive;
    bool built = true;
    for (auto _ : state) {
        // Alternate the two so that both see the same load on the machine.
        const Cost decode = cost_of([&] { bench::full_decode(jpeg); }, 3);
        const Cost build =
            cost_of([&] { built = built && build_cache(picture, drive, {}, mode); }, 3);
        state.SetIterationTime(build.wall);
        state.counters["decode_ms"] = decode.wall * 1e3;
        state.counters["x_decode"] = build.wall / decode.wall;
        state.counters["cpu_x_decode"] = build.cpu / decode.cpu;
    }
    if (!built) state.SkipWithError("cache build failed");
}

void BM_CacheBuildOwnPass(benchmark::State& state) {
    cache_build(state, RecordingMode::OwnPass);
}

void BM_CacheBuildInStep(benchmark::State& state) {
    cache_build(state, RecordingMode::InStep);
}

// Where a cache build's CPU goes, each step against a full decode of the same picture (CPU
// over all threads): the decode at half scale that records the picture's resume records
// and writes level 1 ("levels_x", with the further levels "all_levels_x"), our decoder's
// pass over level 1 for its records ("level_records_x"), the thumbnail from the smallest
// level ("thumbnail_x") and the whole build with its file ("build_x").
void BM_CacheBuildSteps(benchmark::State& state) {
    const BenchPicture sample(int(state.range(0)));
    const std::vector<uint8_t>& jpeg = sample.jpeg;
    const std::u16string& picture = sample.picture;
    const std::u16string& drive = sample.drive;
    MemoryStream header(jpeg);
    const JpegLayout layout = read_jpeg_layout(header);
    bool ok = layout.ok();
    for (auto _ : state) {
        const Cost decode = cost_of([&] { bench::full_decode(jpeg); }, 3);
        std::vector<ResumeRecord> records;
        MemoryStream level;
        const Cost first = cost_of(
            [&] {
                MemoryStream input(jpeg);
                level.clear();
                ok = decode_levels(input, jpeg.size(), {&level}, {}, &records) && ok;
            },
            3);
        std::vector<MemoryStream> levels;
        const Cost all = cost_of(
            [&] {
                MemoryStream input(jpeg);
                std::vector<OutputStream*> outputs;
                levels.assign(size_t(levels_for(layout.width, layout.height)), MemoryStream{});
                for (MemoryStream& out : levels)
                    outputs.push_back(&out);
                ok = decode_levels(input, jpeg.size(), outputs, {}, &records) && ok;
            },
            3);
        const Cost level_records = cost_of(
            [&] {
                level.rewind();
                ok = !record_level(level, level.size()).empty() && ok;
            },
            3);
        const Cost thumbnail = cost_of(
            [&] {
                MemoryStream out;
                levels.back().rewind();
                ok = make_thumbnail(levels.back(), out, {}) && ok;
            },
            3);
        const Cost build = cost_of([&] { ok = build_cache(picture, drive, {}) && ok; }, 3);
        state.SetIterationTime(build.wall);
        state.counters["decode_ms"] = decode.cpu * 1e3;
        state.counters["levels_x"] = first.cpu / decode.cpu;
        state.counters["all_levels_x"] = all.cpu / decode.cpu;
        state.counters["level_records_x"] = level_records.cpu / decode.cpu;
        state.counters["thumbnail_x"] = thumbnail.cpu / decode.cpu;
        state.counters["build_x"] = build.cpu / decode.cpu;
    }
    if (!ok) state.SkipWithError("a step failed");
}

// The real photos of the cameras and large folders, each built and decoded by libjpeg in
// turn, in the same run: the ratios are of the summed median times.
void BM_CacheBuildRealPhotos(benchmark::State& state) {
    std::vector<std::string> photos = bench::photo_files("cameras");
    for (const std::string& photo : bench::photo_files("large"))
        photos.push_back(photo);
    if (photos.empty()) {
        state.SkipWithError("no photos");
        return;
    }
    std::vector<std::vector<uint8_t>> bytes;
    for (const std::string& photo : photos) {
        std::ifstream in(photo, std::ios::binary);
        bytes.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const std::u16string drive = from_utf8(bench::bench_folder());
    std::filesystem::create_directories(to_utf8(cache_folder(drive)));
    bool built = true;
    for (auto _ : state) {
        Cost decode, build;
        for (size_t i = 0; i < photos.size(); ++i) {
            const std::u16string picture = from_utf8(photos[i]);
            const Cost d = cost_of([&] { bench::full_decode(bytes[i]); }, 5);
            const Cost b = cost_of([&] { built = build_cache(picture, drive, {}) && built; }, 5);
            if (std::getenv("VISTREL_BENCH_EACH"))
                std::fprintf(stderr, "%-40s decode %.3f ms build %.3f ms wall %.2f cpu %.2f\n",
                             photos[i].c_str() + photos[i].rfind('/') + 1, d.wall * 1e3,
                             b.wall * 1e3, b.wall / d.wall, b.cpu / d.cpu);
            decode.wall += d.wall;
            decode.cpu += d.cpu;
            build.wall += b.wall;
            build.cpu += b.cpu;
        }
        state.SetIterationTime(build.wall);
        state.counters["photos"] = double(photos.size());
        state.counters["decode_ms"] = decode.wall * 1e3;
        state.counters["x_decode"] = build.wall / decode.wall;
        state.counters["cpu_x_decode"] = build.cpu / decode.cpu;
    }
    if (!built) state.SkipWithError("a cache build failed");
}

// Our entropy decoder over each real photo's scan, every block decoded (as the cache build
// does for libjpeg), against libjpeg's reading of the same coefficients, in the same run.
void BM_EntropyDecodeRealPhotos(benchmark::State& state) {
    std::vector<std::vector<uint8_t>> pictures;
    for (const char* folder : {"cameras", "large"})
        for (const std::string& photo : bench::photo_files(folder)) {
            std::ifstream in(photo, std::ios::binary);
            pictures.emplace_back(std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>());
        }
    if (pictures.empty()) {
        state.SkipWithError("no photos");
        return;
    }
    constexpr size_t kBlocks = EntropyDecoder::kMaxBlocksInMcu;
    std::vector<int16_t> blocks(64 * kBlocks);
    std::vector<int16_t*> pointers;
    for (size_t b = 0; b < kBlocks; ++b)
        pointers.push_back(&blocks[64 * b]);
    std::vector<ResumeRecord> records;
    for (auto _ : state) {
        double ours = 0, theirs = 0;
        for (const std::vector<uint8_t>& picture : pictures) {
            MemoryStream stream(picture);
            const JpegLayout layout = read_jpeg_layout(stream);
            if (!layout.ok()) continue;
            const auto follow = [&] {
                SpanSource source(picture.data(), picture.size(), size_t(layout.data_offset));
                ScanRecorder recorder(layout, source, layout.data_offset, picture.size());
                records.clear();
                while (recorder.ok() && !recorder.finished())
                    recorder.decode_next(pointers.data(), records);
            };
            ours += cost_of(follow, 5).cpu;
            theirs += cost_of([&] { bench::read_coefficients(picture); }, 5).cpu;
        }
        state.SetIterationTime(ours);
        state.counters["libjpeg_ms"] = theirs * 1e3;
        state.counters["x_libjpeg"] = ours / theirs;
    }
}

// Loading a thumbnail from a cache file with section checksums (the header's and the
// thumbnail's are checked), and from the same file as one from before them (arg 0).
void BM_LoadThumbnail(benchmark::State& state) {
    const std::string file = bench::large_picture_file(3);
    std::u16string picture = from_utf8(file);
    std::u16string drive = from_utf8(std::filesystem::path(file).parent_path().string());
    if (!is_cache_valid(picture, drive)) build_cache_file(picture, drive, {});
    if (state.range(0) == 0) {
        std::tie(picture, drive) = bench::unchecked_twin(picture, drive);
        if (picture.empty()) return state.SkipWithError("no cache file");
    }
    for (auto _ : state) {
        auto bitmap = load_thumbnail(picture, drive);
        if (!bitmap) state.SkipWithError("no thumbnail");
        benchmark::DoNotOptimize(bitmap.get());
    }
}

// What a thumbnail load reads before decoding: the header (with the entries at the end of
// the file and the header's checksum) and the thumbnail's bytes (with theirs), from a
// file with checksums (arg 1) and from the same file without them (arg 0). The difference
// is what the checks cost per thumbnail; the decode after them is the same either way.
void BM_ThumbnailRead(benchmark::State& state) {
    const std::string file = bench::large_picture_file(3);
    std::u16string picture = from_utf8(file);
    std::u16string drive = from_utf8(std::filesystem::path(file).parent_path().string());
    if (!is_cache_valid(picture, drive)) build_cache_file(picture, drive, {});
    if (state.range(0) == 0) std::tie(picture, drive) = bench::unchecked_twin(picture, drive);
    const std::u16string name = cache_file_name(picture, drive);
    std::vector<uint8_t> thumbnail;
    for (auto _ : state) {
        FileStream cache(name, OpenMode::Read);
        CacheHeader header;
        if (!header.read(cache, cache.size())) return state.SkipWithError("no cache file");
        thumbnail.resize(header.thumbnail_size);
        cache.seek(header.thumbnail_offset);
        cache.read(thumbnail.data(), thumbnail.size());
        benchmark::DoNotOptimize(
            header.intact(header.thumbnail_offset, thumbnail.data(), thumbnail.size()));
    }
}

void BM_ReadOrientation(benchmark::State& state) {
    const std::u16string picture = from_utf8(bench::large_picture_file(3));
    for (auto _ : state) {
        FileStream file(picture, OpenMode::Read);
        benchmark::DoNotOptimize(read_orientation(file));
    }
}

BENCHMARK(BM_FullDecode)->Arg(3)->Arg(12)->Arg(24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CacheBuildOwnPass)
    ->Arg(3)
    ->Arg(12)
    ->Arg(24)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CacheBuildInStep)
    ->Arg(3)
    ->Arg(12)
    ->Arg(24)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CacheBuildSteps)
    ->Arg(3)
    ->Arg(12)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CacheBuildRealPhotos)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EntropyDecodeRealPhotos)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadThumbnail)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ThumbnailRead)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadOrientation)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vistrel
