// Colour transforms: what making one costs (per picture read, per tile source opened), for a
// profile that needs converting and for one that turns out to be sRGB, and what converting
// a 256 x 256 tile's pixels costs. Then a 12-megapixel JPEG without a profile, with an sRGB
// one and with an Adobe RGB one, in one run: its cache build (wall and CPU time), the cache
// file's size and a full-size tile from the records; and what the other way of showing the
// converted picture at full size would cost: a converted baseline copy as level 0
// (encoding it at quality 92 and recording it, its size).

#include <benchmark/benchmark.h>

#include <lcms2.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <vector>

#include "bench_pictures.h"
#include "library/cache/cache_builder.h"
#include "library/cache/cache_file.h"
#include "library/cache/half_pass.h"
#include "library/colour/colour_transform.h"
#include "library/jpeg/jpeg_reader.h"
#include "library/jpeg/jpeg_writer.h"
#include "library/tiles/cache_tile_source.h"
#include "platform/text.h"

namespace vistrel {
namespace {

std::vector<uint8_t> saved(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::vector<uint8_t> bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

// Adobe RGB (1998): its primaries, D65 and the gamma 563/256.
const std::vector<uint8_t>& adobe_rgb() {
    static const std::vector<uint8_t> bytes = [] {
        const cmsCIExyY white{0.3127, 0.3290, 1.0};
        const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
        cmsToneCurve* gamma = cmsBuildGamma(nullptr, 563.0 / 256);
        cmsToneCurve* curves[3] = {gamma, gamma, gamma};
        std::vector<uint8_t> made = saved(cmsCreateRGBProfile(&white, &primaries, curves));
        cmsFreeToneCurve(gamma);
        return made;
    }();
    return bytes;
}

const std::vector<uint8_t>& srgb() {
    static const std::vector<uint8_t> bytes = saved(cmsCreate_sRGBProfile());
    return bytes;
}

void BM_MakeTransform(benchmark::State& state) {
    const std::vector<uint8_t>& profile = state.range(0) ? adobe_rgb() : srgb();
    for (auto _ : state)
        benchmark::DoNotOptimize(ColourTransform::from_icc(profile, PixelLayout::Rgb8));
    state.SetLabel(state.range(0) ? "Adobe RGB" : "sRGB (refused)");
}

// Once made, a profile's transform is looked up.
void BM_SharedTransform(benchmark::State& state) {
    const std::vector<uint8_t>& profile = state.range(0) ? adobe_rgb() : srgb();
    for (auto _ : state)
        benchmark::DoNotOptimize(ColourTransform::shared_from_icc(profile, PixelLayout::Rgb8));
    state.SetLabel(state.range(0) ? "Adobe RGB" : "sRGB (refused)");
}

void BM_ConvertTile(benchmark::State& state) {
    const auto transform = ColourTransform::from_icc(adobe_rgb(), PixelLayout::Rgb8);
    std::vector<uint8_t> pixels(256 * 256 * 3);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = uint8_t(i * 7 + i / 769);
    for (auto _ : state) {
        for (int row = 0; row < 256; ++row)
            transform->convert(&pixels[size_t(row) * 768], &pixels[size_t(row) * 768], 256);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 256 * 256);
}

// The JPEG with `profile` as one APP2 chunk after its start of image.
std::vector<uint8_t> with_profile(const std::vector<uint8_t>& jpeg,
                                  const std::vector<uint8_t>& profile) {
    if (profile.empty()) return jpeg;
    static const char kIcc[] = "ICC_PROFILE";
    std::vector<uint8_t> payload(kIcc, kIcc + sizeof kIcc);
    payload.insert(payload.end(), {1, 1});
    payload.insert(payload.end(), profile.begin(), profile.end());
    const size_t length = payload.size() + 2;
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
    out.insert(out.end(), {0xFF, 0xE2, uint8_t(length >> 8), uint8_t(length)});
    out.insert(out.end(), payload.begin(), payload.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

double wall_seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double cpu_seconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Variant {
    const char* name;
    std::u16string path;
    std::u16string drive;
};

// 0: no profile, 1: sRGB, 2: Adobe RGB.
void BM_ProfiledPicture(benchmark::State& state) {
    const std::vector<uint8_t> plain = bench::large_picture(12);
    const std::vector<uint8_t>* profiles[3] = {nullptr, &srgb(), &adobe_rgb()};
    const char* names[3] = {"none", "srgb", "adobe"};
    std::vector<Variant> variants;
    for (int i = 0; i < 3; ++i) {
        const std::string file = bench::bench_file(
            std::string("colour-") + names[i] + ".jpg",
            with_profile(plain, profiles[i] ? *profiles[i] : std::vector<uint8_t>{}));
        variants.push_back({names[i], from_utf8(file),
                            from_utf8(std::filesystem::path(file).parent_path().string())});
    }
    for (auto _ : state) {
        // Builds in turn, five rounds.
        std::vector<std::vector<double>> wall(3), cpu(3);
        for (int round = 0; round < 5; ++round)
            for (int i = 0; i < 3; ++i) {
                const double w = wall_seconds(), c = cpu_seconds(CLOCK_PROCESS_CPUTIME_ID);
                build_cache_file(variants[size_t(i)].path, variants[size_t(i)].drive, {});
                wall[size_t(i)].push_back(wall_seconds() - w);
                cpu[size_t(i)].push_back(cpu_seconds(CLOCK_PROCESS_CPUTIME_ID) - c);
            }
        // The middle full-size tile, in turn, 101 rounds.
        std::vector<std::unique_ptr<CacheTileSource>> sources;
        for (const Variant& v : variants) {
            sources.push_back(std::make_unique<CacheTileSource>(v.path, v.drive));
            if (!sources.back()->open()) return state.SkipWithError("no source");
        }
        const int full = sources[0]->levels();
        const Size grid = sources[0]->tile_grid(full);
        std::vector<std::vector<double>> tile(3);
        for (int round = 0; round < 101; ++round)
            for (size_t i = 0; i < 3; ++i) {
                const double c = cpu_seconds(CLOCK_THREAD_CPUTIME_ID);
                benchmark::DoNotOptimize(sources[i]->make_tile(grid.w / 2, grid.h / 2, full));
                tile[i].push_back(cpu_seconds(CLOCK_THREAD_CPUTIME_ID) - c);
            }
        for (size_t i = 0; i < 3; ++i) {
            const std::string n = variants[i].name;
            state.counters[n + "_build_ms"] = median(wall[i]) * 1e3;
            state.counters[n + "_build_cpu_ms"] = median(cpu[i]) * 1e3;
            state.counters[n + "_tile_ms"] = median(tile[i]) * 1e3;
            state.counters[n + "_cache_MB"] =
                double(std::filesystem::file_size(
                    to_utf8(cache_file_name(variants[i].path, variants[i].drive)))) /
                1e6;
        }
        state.SetIterationTime(median(wall[2]));
    }
}

// The other way: the Adobe RGB picture's converted pixels encoded at quality 92 as a
// baseline copy and recorded by our decoder, which a build would add to the one decode
// that makes the levels.
void BM_ConvertedCopy(benchmark::State& state) {
    const std::string file =
        bench::bench_file("colour-adobe.jpg", with_profile(bench::large_picture(12), adobe_rgb()));
    FileStream input(from_utf8(file), OpenMode::Read);
    JpegReader reader(input, input.size());
    if (!reader.ok() || !reader.start() || !reader.converts_colours())
        return state.SkipWithError("no conversion");
    const int width = reader.output_width(), height = reader.output_height();
    std::vector<uint8_t> pixels(size_t(width) * height * 3);
    for (int y = 0; y < height; ++y)
        reader.read_row(&pixels[size_t(y) * width * 3]);
    size_t copy_size = 0;
    for (auto _ : state) {
        MemoryStream copy;
        JpegWriter writer(copy, width, height, 92);
        for (int y = 0; y < height; ++y)
            writer.write_row(&pixels[size_t(y) * width * 3]);
        writer.finish();
        copy.rewind();
        benchmark::DoNotOptimize(record_level(copy, copy.size()));
        copy_size = copy.size();
    }
    state.counters["copy_MB"] = double(copy_size) / 1e6;
}

}  // namespace

BENCHMARK(BM_ProfiledPicture)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertedCopy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MakeTransform)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SharedTransform)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ConvertTile)->Unit(benchmark::kMicrosecond);

}  // namespace vistrel
