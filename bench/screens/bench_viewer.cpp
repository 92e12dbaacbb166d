// The viewer's tile work on large cached pictures, on an 800 x 480 screen:
// - opening: the tiles that fill the screen at the fit zoom, made as the worker makes them
//   (worker CPU time);
// - a zoom step to full size at the centre and at two corners (worker CPU time);
// - panning a full-size 48-megapixel picture: the interface thread's CPU time per frame,
//   with tiles handed over as they are asked for, and how many tiles were made beyond
//   those shown;
// - the peak resident memory of the process after viewing, zooming and panning with the
//   tile worker running (reported once, as "peak_rss_mb").

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <array>
#include <cmath>
#include <ctime>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "bench_pictures.h"
#include "library/cache/cache_builder.h"
#include "library/tiles/cache_tile_source.h"
#include "platform/path_parts.h"
#include "platform/text.h"
#include "platform/threads.h"
#include "screens/tile_renderer.h"
#include "screens/zoom_image.h"
#include "ui/container.h"

namespace vistrel {
namespace {

constexpr Size kScreen{800, 480};

double thread_cpu_ms() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// The peak resident memory since the last reset_peak_rss, from /proc/self/status.
double peak_rss_mb() {
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    double kb = -1;
    while (std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "VmHWM: %lf", &kb) == 1) break;
    std::fclose(f);
    return kb / 1024;
}

// Gives memory freed so far back and starts the peak over (the cache files were built in
// this process, which a viewer never does).
void reset_peak_rss() {
    malloc_trim(0);
    if (std::FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", f);
        std::fclose(f);
    }
}

struct Cached {
    std::u16string picture;
    std::u16string drive;
};

const Cached& cached_picture(int megapixels) {
    static std::map<int, Cached> made;
    auto it = made.find(megapixels);
    if (it != made.end()) return it->second;
    Cached c;
    c.picture = from_utf8(bench::large_picture_file(megapixels));
    c.drive = directory_part(c.picture);
    if (!build_cache_file(c.picture, c.drive, [] { return false; }))
        std::fprintf(stderr, "cache of the %d-megapixel picture could not be built\n", megapixels);
    return made.emplace(megapixels, c).first->second;
}

// Collects the tiles a picture asks for.
struct Recorder : TileSink {
    std::vector<std::array<int, 3>> asked;
    void request_tile(ZoomImage&, int level, int column, int row) override {
        asked.push_back({level, column, row});
    }
};

struct Screen {
    Container root;
    ZoomImage* view = new ZoomImage(&root);  // owned by root
    RenderSurface surface{kScreen};
    Screen() {
        root.set_x_extent(0, kScreen.w);
        root.set_y_extent(0, kScreen.h);
    }
    void draw() { view->draw(surface, {0, 0}); }
};

// Makes every asked tile as the worker would; returns the CPU milliseconds spent.
double make_tiles(CacheTileSource& source, ZoomImage& view, const Recorder& recorder) {
    const double start = thread_cpu_ms();
    for (const auto& t : recorder.asked) {
        auto tile = source.make_tile(t[1], t[2], t[0]);
        RenderSurface surface;
        surface.adopt(std::move(tile));
        view.accept_tile(t[0], t[1], t[2], std::move(surface));
    }
    return thread_cpu_ms() - start;
}

void BM_OpenAtFitZoom(benchmark::State& state) {
    const Cached& c = cached_picture(static_cast<int>(state.range(0)));
    double cpu = 0;
    size_t tiles = 0;
    bool complete = true;
    for (auto _ : state) {
        CacheTileSource source(c.picture, c.drive);
        if (!source.open()) {
            state.SkipWithError("cache does not open");
            return;
        }
        Screen screen;
        Recorder recorder;
        screen.view->set_sink(&recorder);
        screen.view->set_up({256, 256}, {source.width(), source.height()}, source.levels(), false);
        screen.draw();
        cpu += make_tiles(source, *screen.view, recorder);
        tiles += recorder.asked.size();
        screen.draw();
        complete = complete && screen.view->screen_complete();
    }
    state.counters["worker_ms"] = cpu / state.iterations();
    state.counters["tiles"] = double(tiles) / state.iterations();
    state.counters["complete_after_one_frame"] = complete;
}
BENCHMARK(BM_OpenAtFitZoom)->Arg(24)->Unit(benchmark::kMillisecond)->Iterations(5);

// The same through the renderer and its worker, with frames 40 ms apart (each frame hands
// the finished tiles over, then draws): the frames until the screen is filled.
void BM_OpenFramesToFill(benchmark::State& state) {
    const Cached& c = cached_picture(24);
    int frames = 0;
    for (auto _ : state) {
        Screen screen;
        TileRenderer tiles;
        tiles.bind(1, screen.view);
        tiles.reset(1, c.picture, c.drive);
        tiles.restart(1, kScreen);
        tiles.start();
        for (int frame = 1; frame <= 50; ++frame) {
            while (tiles.hand_over()) {
            }
            screen.draw();
            if (screen.view->screen_complete()) {
                frames += frame;
                break;
            }
            sleep_ms(40);
        }
        tiles.stop();
    }
    state.counters["frames_to_fill"] = double(frames) / state.iterations();
}
BENCHMARK(BM_OpenFramesToFill)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ZoomToFullSize(benchmark::State& state) {
    const Cached& c = cached_picture(24);
    const int place = static_cast<int>(state.range(0));  // 0 centre, 1 top-left, 2 bottom-right
    double cpu = 0;
    for (auto _ : state) {
        CacheTileSource source(c.picture, c.drive);
        source.open();
        Screen screen;
        Recorder recorder;
        screen.view->set_sink(&recorder);
        screen.view->set_up({256, 256}, {source.width(), source.height()}, source.levels(), false);
        screen.view->set_zoom(source.levels());
        if (place == 1) screen.view->set_center(0, 0);
        if (place == 2) screen.view->set_center(source.width(), source.height());
        screen.view->set_overscroll(0, 0);
        screen.view->set_overscroll(1, 0);
        screen.draw();
        cpu += make_tiles(source, *screen.view, recorder);
    }
    state.counters["worker_ms"] = cpu / state.iterations();
}
BENCHMARK(BM_ZoomToFullSize)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->Iterations(5);

// Panning a full-size picture across, 12 pixels a frame; tiles come from the renderer's
// worker as they would in the viewer, handed over one per frame.
void BM_PanFullSize(benchmark::State& state) {
    const Cached& c = cached_picture(48);
    const Cached& neighbour = cached_picture(24);
    reset_peak_rss();
    const double rss_before = peak_rss_mb();
    double worst = 0, total = 0;
    int frames = 0;
    size_t made_beyond = 0;
    int capacity = 0;
    for (auto _ : state) {
        Screen screen;
        ZoomImage* left = new ZoomImage(&screen.root);
        ZoomImage* right = new ZoomImage(&screen.root);
        TileRenderer tiles;
        tiles.bind(0, left);
        tiles.bind(1, screen.view);
        tiles.bind(2, right);
        tiles.reset(0, neighbour.picture, neighbour.drive);
        tiles.reset(1, c.picture, c.drive);
        tiles.reset(2, neighbour.picture, neighbour.drive);
        for (int slot = 0; slot < 3; ++slot) tiles.restart(slot, kScreen);
        left->set_shift({-(kScreen.w + 20), 0});
        right->set_shift({kScreen.w + 20, 0});
        tiles.start();
        // Open at the fit zoom, the neighbours ready, then zoom to full size.
        for (int step = 0; step < 100 && !tiles.idle(); ++step) {
            tiles.hand_over();
            screen.root.draw(screen.surface, {0, 0});
            sleep_ms(4);
        }
        screen.view->set_zoom(screen.view->max_level());
        std::set<std::array<int, 3>> shown;
        const Size size = tiles.picture_size(1);
        for (int step = 0; step < 400; ++step) {
            const double start = thread_cpu_ms();
            screen.view->set_center(400 + step * 12.0, size.h / 2.0);
            tiles.hand_over();
            screen.draw();
            const double ms = thread_cpu_ms() - start;
            worst = std::max(worst, ms);
            total += ms;
            ++frames;
            sleep_ms(4);
        }
        capacity = screen.view->capacity();
        made_beyond = tiles.queued();
        tiles.stop();
    }
    state.counters["frame_ms_mean"] = total / frames;
    state.counters["frame_ms_worst"] = worst;
    state.counters["cache_capacity"] = capacity;
    state.counters["queued_at_end"] = double(made_beyond);
    state.counters["rss_at_start_mb"] = rss_before;
    state.counters["peak_rss_mb"] = peak_rss_mb();
}
BENCHMARK(BM_PanFullSize)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace vistrel

