// The cost of a trace line while the log is switched off (the common case): it must stay
// an in-memory check, with no file access per line.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/settings_store.h"
#include "platform/threads.h"
#include "platform/trace.h"

namespace {

void use_scratch_settings() {
    static const std::string file = "/tmp/vistrel-bench-settings-" + std::to_string(getpid()) + ".reg";
    vistrel::SettingsStore::use_file(file);
}

void BM_TraceLineLogOff(benchmark::State& state) {
    use_scratch_settings();
    for (auto _ : state) {
        vistrel::trace() << vistrel::tick_count() << "bench line " << 42 << "\n";
    }
}
BENCHMARK(BM_TraceLineLogOff);

void BM_TickCount(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(vistrel::tick_count());
}
BENCHMARK(BM_TickCount);

}  // namespace
