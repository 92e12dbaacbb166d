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

struct Frame {
    std::unique_ptr<Bitmap> dst;
    std::unique_ptr<Bitmap> src;
    size_t bytes;
    explicit Frame(FrameSize f)
        : dst(Bitmap::create(f.w, f.h)),
          src(make_source(f.w, f.h)),
          bytes(size_t(dst->pitch()) * f.h) {
        dst->clear(0x4208);
    }
};

void finish(benchmark::State& state, const Frame& frame) {
    benchmark::ClobberMemory();
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(frame.bytes));
}

void run_memcpy(benchmark::State& state, FrameSize f) {
    Frame frame(f);
    for (auto _ : state) {
        std::memcpy(frame.dst->pixels(), frame.src->pixels(), frame.bytes);
        benchmark::ClobberMemory();
    }
    finish(state, frame);
}

void run_memset(benchmark::State& state, FrameSize f) {
    Frame frame(f);
    for (auto _ : state) {
        std::memset(frame.dst->pixels(), 0x4A, frame.bytes);
        benchmark::ClobberMemory();
    }
    finish(state, frame);
}

void run_blit(benchmark::State& state, FrameSize f, const PixelOp& op) {
    Frame frame(f);
    Surface surface(frame.dst.get());
    for (auto _ : state) {
        blit(surface, {0, 0}, {f.w, f.h}, *frame.src, {0, 0}, op);
        benchmark::ClobberMemory();
    }
    finish(state, frame);
}

void run_fill(benchmark::State& state, FrameSize f) {
    Frame frame(f);
    Surface surface(frame.dst.get());
    for (auto _ : state) {
        surface.fill_pixel({0, 0}, {f.w, f.h}, 0x4A69);
        benchmark::ClobberMemory();
    }
    finish(state, frame);
}

// The same one pixel in from every edge: one span per row.
void run_fill_inset(benchmark::State& state, FrameSize f) {
    Frame frame(f);
    Surface surface(frame.dst.get());
    for (auto _ : state) {
        surface.fill_pixel({1, 1}, {f.w - 2, f.h - 2}, 0x4A69);
        benchmark::ClobberMemory();
    }
    finish(state, frame);
}

void run_blit_inset(benchmark::State& state, FrameSize f, const PixelOp& op) {
    Frame frame(f);
    Surface surface(frame.dst.get());
    for (auto _ : state) {
        blit(surface, {1, 1}, {f.w - 2, f.h - 2}, *frame.src, {1, 1}, op);
        benchmark::ClobberMemory();
    }
    finish(state, frame);
}

void run_dim(benchmark::State& state, FrameSize f) {
    Frame frame(f);
    Surface surface(frame.dst.get());
    const DimSpan dim(128);
    for (auto _ : state) {
        surface.apply({0, 0}, {f.w, f.h}, dim);
        benchmark::ClobberMemory();
    }
    finish(state, frame);
}

void run_stretch(benchmark::State& state, FrameSize f) {
    Frame frame(f);
    Surface surface(frame.dst.get());
    const CopyOp op;
    for (auto _ : state) {
        stretch_blit(surface, {0, 0}, {f.w, f.h}, *frame.src, {0, 0}, {f.w / 2, f.h / 2}, op);
        benchmark::ClobberMemory();
    }
    finish(state, frame);
}

// A 24 x 24 frame picture with 8-pixel caps, drawn over the whole surface.
void run_tiled(benchmark::State& state, FrameSize f) {
    Frame frame(f);
    Surface surface(frame.dst.get());
    auto picture = make_source(24, 24);
    const KeyedCopyOp op;
    for (auto _ : state) {
        draw_tiled(surface, {0, 0}, {f.w, f.h}, *picture, {0, 0}, {8, 8}, {16, 16}, {24, 24}, 0,
                   op);
        benchmark::ClobberMemory();
    }
    finish(state, frame);
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
    for (const FrameSize& f : kFrames) {
        const std::string n = "/" + f.name();
        benchmark::RegisterBenchmark(("memcpy" + n).c_str(), run_memcpy, f);
        benchmark::RegisterBenchmark(("memset" + n).c_str(), run_memset, f);
        benchmark::RegisterBenchmark(("blit_copy" + n).c_str(), run_blit, f, std::cref(copy));
        benchmark::RegisterBenchmark(("blit_keyed" + n).c_str(), run_blit, f, std::cref(keyed));
        benchmark::RegisterBenchmark(("blit_blend50" + n).c_str(), run_blit, f, std::cref(blend50));
        benchmark::RegisterBenchmark(("fill" + n).c_str(), run_fill, f);
        benchmark::RegisterBenchmark(("dim" + n).c_str(), run_dim, f);
        benchmark::RegisterBenchmark(("fill_inset" + n).c_str(), run_fill_inset, f);
        benchmark::RegisterBenchmark(("blit_copy_inset" + n).c_str(), run_blit_inset, f,
                                     std::cref(copy));
        benchmark::RegisterBenchmark(("blit_blend50_inset" + n).c_str(), run_blit_inset, f,
                                     std::cref(blend50));
        benchmark::RegisterBenchmark(("stretch_blit_2x" + n).c_str(), run_stretch, f);
        benchmark::RegisterBenchmark(("draw_tiled_9patch" + n).c_str(), run_tiled, f);
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
