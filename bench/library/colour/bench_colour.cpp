// Colour transforms: what making one costs (per picture read, per tile source opened), for a
// profile that needs converting and for one that turns out to be sRGB, and what converting
// a 256 x 256 tile's pixels costs.

#include <benchmark/benchmark.h>

#include <lcms2.h>

#include <vector>

#include "library/colour/colour_transform.h"

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

}  // namespace

BENCHMARK(BM_MakeTransform)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SharedTransform)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ConvertTile)->Unit(benchmark::kMicrosecond);

}  // namespace vistrel
