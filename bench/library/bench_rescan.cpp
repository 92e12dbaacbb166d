// Searching a collection whose cache files are all valid, against `find` listing the same
// tree with sizes and times, in the same run. The collection is made at run time: 100,000
// small pictures in 5,000 folders, each with its cache file (kept between runs in the
// temporary folder). "x_find" is the ratio of the wall times, "cpu_x_find" that of the
// CPU times (the search's process against find's).

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "library/cache/cache_file.h"
#include "library/photo_library.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/threads.h"

namespace vistrel {
namespace {

namespace fs = std::filesystem;

constexpr int kFolders = 5000;
constexpr int kPerFolder = 20;
const char16_t kDrive[] = u"%my_documents%/";

double wall_seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double cpu_seconds(int who) {
    rusage use{};
    getrusage(who, &use);
    return double(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
           double(use.ru_utime.tv_usec + use.ru_stime.tv_usec) * 1e-6;
}

// The tree, made once: folders of small pictures with distinct times, and a valid cache
// file for each.
fs::path collection() {
    const fs::path root = fs::temp_directory_path() / "vistrel-bench-rescan";
    const fs::path done = root / "complete";
    setenv("VISTREL_DOCUMENTS", (root / "docs").c_str(), 1);
    setenv("VISTREL_CARDS", "", 1);
    if (fs::exists(done)) return root;
    fs::remove_all(root);
    fs::create_directories(root / "docs" / "!vistrelcache");
    const uint32_t tag = kCacheFormatTag;
    for (int f = 0; f < kFolders; ++f) {
        const fs::path folder = root / "docs" / ("album" + std::to_string(f));
        fs::create_directories(folder);
        for (int p = 0; p < kPerFolder; ++p) {
            const fs::path picture = folder / ("p" + std::to_string(p) + ".jpg");
            std::ofstream(picture) << "picture";
            const int64_t n = int64_t(f) * kPerFolder + p;
            const timespec when[2] = {{1600000000 + n / 1000, (n % 1000) * 1000000},
                                      {1600000000 + n / 1000, (n % 1000) * 1000000}};
            utimensat(AT_FDCWD, picture.c_str(), when, 0);
            const std::u16string name = cache_file_name(
                u"%my_documents%/album" + to_u16(f) + u"/p" + to_u16(p) + u".jpg", kDrive);
            std::ofstream(to_utf8(expand_path(name)), std::ios::binary)
                .write(reinterpret_cast<const char*>(&tag), 4);
        }
    }
    std::ofstream(done) << "ok";
    return root;
}

struct SearchDone final : LibraryListener {
    void on_library_event(const LibraryEvent& event) override {
        if (event.search_complete) complete = true;
        if (event.progress || event.cache_complete) queued = true;
    }
    bool complete = false;
    bool queued = false;
};

void BM_RescanOfValidCaches(benchmark::State& state) {
    const fs::path root = collection();
    PhotoLibraryOptions options;
    options.folder_list = from_utf8((root / "folders.ini").string());
    const std::string find = "find " + (root / "docs").string() + " -printf '%s %T@\\n' >/dev/null";
    for (auto _ : state) {
        double find_wall = 0, find_cpu = 0, search_wall = 0, search_cpu = 0;
        {
            const double w = wall_seconds(), c = cpu_seconds(RUSAGE_CHILDREN);
            if (std::system(find.c_str()) != 0) state.SkipWithError("find failed");
            find_wall = wall_seconds() - w;
            find_cpu = cpu_seconds(RUSAGE_CHILDREN) - c;
        }
        {
            SearchDone listener;
            PhotoLibrary library(options);
            library.add_listener(&listener);
            const double w = wall_seconds(), c = cpu_seconds(RUSAGE_SELF);
            library.need_search();
            while (!listener.complete) {
                sleep_ms(1);
                library.poll_events();
            }
            search_wall = wall_seconds() - w;
            search_cpu = cpu_seconds(RUSAGE_SELF) - c;
            library.remove_listener(&listener);
            if (library.get_folders_size() != kFolders || library.progress().max != 0)
                state.SkipWithError("the collection was not found whole and valid");
        }
        state.SetIterationTime(search_wall);
        state.counters["find_ms"] = find_wall * 1e3;
        state.counters["x_find"] = search_wall / find_wall;
        state.counters["cpu_x_find"] = search_cpu / find_cpu;
    }
}

BENCHMARK(BM_RescanOfValidCaches)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vistrel
