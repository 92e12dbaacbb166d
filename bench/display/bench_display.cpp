// Presenting frames: through the off-screen driver and through the rotation driver, each
// against a plain copy of the same bytes in the same run.

#include <benchmark/benchmark.h>

#include <cstring>

#include "display/display.h"
#include "display/rotate.h"

namespace vistrel {
namespace {

struct Frame {
    int width;
    int height;
};

void fill(Bitmap& b) {
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            b.row(y)[x] = static_cast<Pixel>(x * 31 + y * 7);
}

// The baseline: the frame's bytes copied as one block.
void BM_PlainCopy(benchmark::State& state) {
    const int w = int(state.range(0)), h = int(state.range(1));
    auto from = Bitmap::create(w, h);
    auto to = Bitmap::create(w, h);
    fill(*from);
    const size_t bytes = size_t(from->pitch()) * h;
    for (auto _ : state) {
        std::memcpy(to->pixels(), from->pixels(), bytes);
        benchmark::DoNotOptimize(to->pixels());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

// A whole frame presented in `orientation` on a panel of w x h (0: the off-screen driver
// alone, else the rotation driver over it).
void BM_Present(benchmark::State& state) {
    const int w = int(state.range(0)), h = int(state.range(1)), orientation = int(state.range(2));
    SimulatedClock clock;
    DeviceProfile profile;
    profile.screen = {w, h};
    HeadlessWindow window(profile, clock);
    DisplayParams params{0, 0, orientation, 1};
    auto display = Display::Create(window, params);
    if (!display || !display->begin_frame()) {
        state.SkipWithError("no display");
        return;
    }
    fill(*display->back_buffer());
    display->present();
    for (auto _ : state) {
        display->begin_frame();
        display->present();
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * w * h * 2);
}

// The rotation kernel alone on a whole frame.
void BM_Rotate(benchmark::State& state) {
    const int w = int(state.range(0)), h = int(state.range(1)), turn = int(state.range(2));
    auto from = Bitmap::create(w, h);
    auto to = Bitmap::create(turned_size({w, h}, turn));
    fill(*from);
    for (auto _ : state) {
        rotate_copy(*from, {0, 0, w, h}, *to, turn);
        benchmark::DoNotOptimize(to->pixels());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * w * h * 2);
}

BENCHMARK(BM_PlainCopy)->Args({240, 320})->Args({800, 480});
BENCHMARK(BM_Present)
    ->Args({240, 320, 0})
    ->Args({240, 320, 1})
    ->Args({800, 480, 0})
    ->Args({800, 480, 1})
    ->Args({800, 480, 2})
    ->Args({800, 480, 3});
BENCHMARK(BM_Rotate)->Args({800, 480, 1})->Args({800, 480, 2})->Args({800, 480, 3});

}  // namespace
}  // namespace vistrel
