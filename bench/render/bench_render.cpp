// Full-frame drawing on 240 x 320 and 800 x 480 surfaces, each operation beside a memcpy or
// memset of the same bytes in the same run. At the end a table gives every operation's
// speed as a ratio to its baseline (baseline time / operation time) and the least ratio
// it should reach. The *_inset cases draw one pixel in from every edge, so that rows are
// handed over one at a time (whole frames go as one span).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "render/bitmap.h"
#include "render/blit.h"
#include "render/picture.h"
#include "render/pixel_op.h"
#include "render/span_op.h"
#include "render/surface.h"

namespace vistrel {
namespace {

struct FrameSize {
    int w, h;
    std::string name() const { return std::to_string(w) + "x" + std::to_string(h); }
};
const FrameSize kFrames[] = {{240, 320}, {800, 480}};

// A source with a realistic mix for keyed and blended drawing: a quarter key pixels, a
// quarter flagged, the rest translucent colours, in runs of a few pixels.
std::unique_ptr<Bitmap> make_source(int w, int h) {
    auto b = Bitmap::create(w, h);
    uint32_t seed = 12345;
    for (int y = 0; y < h; ++y) {
        Pixel* row = b->row(y);
        for (int x = 0; x < w; ++x) {
            if (x % 4 == 0) seed = seed * 1664525 + 1013904223;
            const Pixel colour = Pixel(seed >> 16);
            switch ((seed >> 8) & 3) {
                case 0:
                    row[x] = kColourKey;
                    break;
                case 1:
                    row[x] = colour | kOpaqueFlag;
                    break;
                default:
                    row[x] = Pixel(half(colour) & ~kOpaqueFlag);
                    break;
            }
        }
    }
    return b;
}

// One frame's destination and source, and the bytes a frame holds.
struct Frame {
    std::unique_ptr<Bitmap> dst;
    std::unique_ptr<Bitmap> src;
    Surface surface;
    size_t bytes;
    explicit Frame(FrameSize f)
        : dst(Bitmap::create(f.w, f.h)),
          src(make_source(f.w, f.h)),
          surface(dst.get()),
          bytes(size_t(dst->pitch()) * f.h) {
        dst->clear(0x4208);
    }
};

// Times `draw(frame)` and counts a whole frame of bytes per iteration.
template <typename Draw>
void run_frames(benchmark::State& state, FrameSize f, Draw draw) {
    Frame frame(f);
    for (auto _ : state) {
        draw(frame);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(frame.bytes));
}

// A 24 x 24 frame picture with 8-pixel caps, drawn over the whole surface.
const Bitmap& nine_patch() {
    static const std::unique_ptr<Bitmap> picture = make_source(24, 24);
    return *picture;
}

struct Target {
    const char* op;
    const char* baseline;
    double least;  // the ratio to reach, 0 where none is asked
};
const Target kTargets[] = {
    {"blit_copy", "memcpy", 0.8},     {"fill", "memset", 0.8},
    {"blit_keyed", "memcpy", 0.25},   {"blit_blend50", "memcpy", 0.25},
    {"dim", "memcpy", 0.25},          {"fill_inset", "memset", 0},
    {"blit_copy_inset", "memcpy", 0}, {"blit_blend50_inset", "memcpy", 0},
    {"stretch_blit_2x", "memcpy", 0}, {"draw_tiled_9patch", "memcpy", 0},
};

void register_all() {
    static const CopyOp copy;
    static const KeyedCopyOp keyed;
    static const Blend50Op blend50;
    static const DimSpan dim(128);
    for (const FrameSize& f : kFrames) {
        const int w = f.w, h = f.h;
        auto add = [&](const char* name, auto draw) {
            benchmark::RegisterBenchmark(
                (std::string(name) + "/" + f.name()).c_str(),
                [f, draw](benchmark::State& state) { run_frames(state, f, draw); });
        };
        add("memcpy", [](Frame& fr) { std::memcpy(fr.dst->pixels(), fr.src->pixels(), fr.bytes); });
        add("memset", [](Frame& fr) { std::memset(fr.dst->pixels(), 0x4A, fr.bytes); });
        auto blit_with = [w, h](const PixelOp& op) {
            return [w, h, &op](Frame& fr) {
                blit(fr.surface, {0, 0}, {w, h}, *fr.src, {0, 0}, op);
            };
        };
        add("blit_copy", blit_with(copy));
        add("blit_keyed", blit_with(keyed));
        add("blit_blend50", blit_with(blend50));
        add("fill", [w, h](Frame& fr) { fr.surface.fill_pixel({0, 0}, {w, h}, 0x4A69); });
        add("dim", [w, h](Frame& fr) { fr.surface.apply({0, 0}, {w, h}, dim); });
        // One pixel in from every edge: rows go one span at a time.
        add("fill_inset", [w, h](Frame& fr) {
            fr.surface.fill_pixel({1, 1}, {w - 2, h - 2}, 0x4A69);
        });
        auto inset_with = [w, h](const PixelOp& op) {
            return [w, h, &op](Frame& fr) {
                blit(fr.surface, {1, 1}, {w - 2, h - 2}, *fr.src, {1, 1}, op);
            };
        };
        add("blit_copy_inset", inset_with(copy));
        add("blit_blend50_inset", inset_with(blend50));
        add("stretch_blit_2x", [w, h](Frame& fr) {
            stretch_blit(fr.surface, {0, 0}, {w, h}, *fr.src, {0, 0}, {w / 2, h / 2}, copy);
        });
        add("draw_tiled_9patch", [w, h](Frame& fr) {
            draw_tiled(fr.surface, {0, 0}, {w, h}, nine_patch(), {0, 0}, {8, 8}, {16, 16}, {24, 24},
                       0, keyed);
        });
    }
}

// Prints the usual console output, then the ratio table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
            const std::string name = run.benchmark_name();
            const double t = run.GetAdjustedRealTime();
            auto it = m_times.find(name);
            if (it == m_times.end() || t < it->second) m_times[name] = t;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-20s %-10s %-8s %8s %8s\n", "operation", "frame", "baseline", "ratio",
                    "least");
        for (const FrameSize& f : kFrames) {
            for (const Target& t : kTargets) {
                const auto op = m_times.find(std::string(t.op) + "/" + f.name());
                const auto base = m_times.find(std::string(t.baseline) + "/" + f.name());
                if (op == m_times.end() || base == m_times.end() || op->second <= 0) continue;
                const double ratio = base->second / op->second;
                std::printf("%-20s %-10s %-8s %8.2f %8s%s\n", t.op, f.name().c_str(), t.baseline,
                            ratio, t.least > 0 ? std::to_string(t.least).substr(0, 4).c_str() : "-",
                            t.least > 0 && ratio < t.least ? "  BELOW" : "");
            }
        }
    }

private:
    std::map<std::string, double> m_times;
};

}  // namespace
}  // namespace vistrel

int main(int argc, char** argv) {
    vistrel::register_all();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    vistrel::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
