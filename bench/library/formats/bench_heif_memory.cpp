// Peak memory of showing a HEIC whose cache is not built yet: the direct tile source opens
// it (libheif decodes it whole; the source keeps a screen-sized level) and makes one tile,
// in a child process of its own; beside it, the peak of the reader alone decoding every row.
// The pictures are the benchmark scene at each size given, encoded by libheif.
//   bench_heif_memory [MEGAPIXELS...]   (default: 12 24)

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "bench_pictures.h"
#include "format_samples.h"
#include "library/formats/picture_source.h"
#include "library/tiles/direct_tile_source.h"
#include "platform/text.h"

namespace {

using namespace vistrel;
namespace fs = std::filesystem;

// Peak resident memory of `work` in a child process, in MB; negative when it fails.
double child_peak_mb(const std::function<bool()>& work) {
    const pid_t child = fork();
    if (child == 0) _exit(work() ? 0 : 1);
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child) return -1;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return double(usage.ru_maxrss) / 1024.0;
}

bool direct_tile(const std::string& file) {
    DirectTileSource source(from_utf8(file));
    if (!source.open()) return false;
    return source.make_tile(0, 0, 0) != nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty()) sizes = {12, 24};
    const fs::path dir = fs::temp_directory_path() / ("bench_heif." + std::to_string(getpid()));
    fs::create_directories(dir);
    const double idle = child_peak_mb([] { return true; });
    std::printf("a child doing nothing: %.1f MB\n", idle);
    std::printf("%6s %12s %9s %14s %14s\n", "MP", "size", "file MB", "rows peak MB", "direct peak MB");
    for (const int mp : sizes) {
        const int width = int(std::lround(std::sqrt(mp * 1e6 * 4 / 3)));
        const int height = width * 3 / 4;
        std::string file = (dir / ("p" + std::to_string(mp) + ".heic")).string();
        size_t file_bytes = 0;
        {
            bench::RgbPicture scene = bench::scene_pixels(width, height);
            const std::vector<uint8_t> bytes =
                test::encode_rgb_as("heic", scene.pixels, width, height, (dir / "scratch").string());
            if (bytes.empty()) {
                std::printf("%6d no HEVC encoder\n", mp);
                continue;
            }
            file_bytes = bytes.size();
            std::ofstream(file, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        }  // nothing large is left for the children to share
        const double rows = child_peak_mb([&] { return bench::read_picture_rows(file); });
        const double direct = child_peak_mb([&] { return direct_tile(file); });
        std::printf("%6d %5d x %-5d %9.1f %14.1f %14.1f\n", mp, width, height, file_bytes / 1048576.0,
                    rows, direct);
    }
    fs::remove_all(dir);
    return 0;
}
