// Building the cache of a picture of each format against its library's own decode of the
// same file, on a real-sized picture made from a real photo, and the peak memory of
// building a 48-megapixel picture of each format, each in a fresh process of its own (a
// forked one would count the pages it shares with this one).
//   bench_formats [PHOTO.jpg]

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <filesystem>
#include <fstream>

#include "bench_pictures.h"
#include "format_samples.h"
#include "library/cache/cache_builder.h"
#include "library/cache/half_pass.h"
#include "library/jpeg/jpeg_writer.h"
#include "library/formats/picture_source.h"
#include "platform/text.h"

namespace {

using namespace vistrel;
namespace fs = std::filesystem;

// The best of three runs: the machine is shared, and the least disturbed run is the one
// that tells.
double seconds(const std::function<bool()>& work, bool& ok) {
    double best = 1e9;
    ok = true;
    for (int run = 0; run < 3; ++run) {
        const auto start = std::chrono::steady_clock::now();
        ok = work() && ok;
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

void write(const std::string& file, const std::vector<uint8_t>& bytes) {
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                std::streamsize(bytes.size()));
}

constexpr const char* kBuildOne = "--build-one";

// This process's own peak resident memory, in kB, from /proc/self/status. A child's
// ru_maxrss would not do: it keeps the peak of the pages shared with its parent before exec.
long own_peak_kb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

// Peak resident memory of building one cache file in a new process, in MB; negative when
// the build fails.
double build_peak_mb(const std::string& file, const std::string& drive) {
    int out[2];
    if (pipe(out) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        execl("/proc/self/exe", "bench_formats", kBuildOne, file.c_str(), drive.c_str(), nullptr);
        _exit(2);
    }
    close(out[1]);
    char text[64] = {};
    size_t got = 0;
    for (ssize_t n; got + 1 < sizeof text && (n = read(out[0], text + got, sizeof text - 1 - got)) > 0;)
        got += size_t(n);
    close(out[0]);
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) return -1;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return std::atof(text) / 1024.0;
}

// The photo's pixels, or a made picture when there is none.
std::vector<uint8_t> photo(const std::string& path, int& width, int& height) {
    std::vector<uint8_t> rgb;
    if (auto source = path.empty() ? nullptr : open_picture_source(from_utf8(path))) {
        width = source->width();
        height = source->height();
        rgb.resize(size_t(width) * height * 3);
        for (int y = 0; y < height; ++y)
            if (!source->read_row(rgb.data() + size_t(y) * width * 3)) break;
        return rgb;
    }
    std::printf("no photo: a made picture of 4000 x 3000\n");
    width = 4000;
    height = 3000;
    const std::vector<uint8_t> rgba = test::pattern_rgba(width, height, false);
    for (size_t i = 0; i < rgba.size(); ++i)
        if (i % 4 != 3) rgb.push_back(rgba[i]);
    return rgb;
}

std::string find_photo() {
    std::error_code ec;
    std::string best;
    uintmax_t largest = 0;
    for (const auto& e : fs::recursive_directory_iterator(VISTREL_PHOTOS_DIR, ec))
        if (e.is_regular_file(ec) && e.path().extension() == ".jpg" && e.file_size(ec) > largest &&
            e.file_size(ec) < (uintmax_t(20) << 20)) {
            largest = e.file_size(ec);
            best = e.path().string();
        }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], kBuildOne) == 0) {
        if (build_cache_file_for(from_utf8(argv[2]), from_utf8(argv[3]), nullptr) !=
            CacheProblem::None)
            return 1;
        std::printf("%ld\n", own_peak_kb());
        return 0;
    }
    const std::string source = argc > 1 ? argv[1] : find_photo();
    int width = 0, height = 0;
    std::vector<uint8_t> rgb = photo(source, width, height);
    std::printf("picture: %s, %d x %d\n", source.c_str(), width, height);
    const fs::path dir = fs::temp_directory_path() / ("bench_formats." + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string drive = dir.string() + "/";
    std::printf("%-6s %10s %12s %12s %7s\n", "format", "file MB", "decode s", "cache s", "ratio");
    int n = 0;
    for (const std::string format : {"png", "webp", "tiff", "jxl", "heic"}) {
        const std::vector<uint8_t> bytes =
            test::encode_rgb_as(format, rgb, width, height, (dir / "scratch.tif").string());
        if (bytes.empty()) {
            std::printf("%-6s no encoder\n", format.c_str());
            continue;
        }
        const std::string file = (dir / ("p" + std::to_string(n++) + "." + format)).string();
        write(file, bytes);
        bool decoded = false, built = false;
        const double decode = seconds([&] { return bench::read_picture_rows(file); }, decoded);
        const double build = seconds(
            [&] {
                return build_cache_file_for(from_utf8(file), from_utf8(drive), nullptr) ==
                       CacheProblem::None;
            },
            built);
        std::printf("%-6s %10.1f %12.3f %12.3f %7.2f%s\n", format.c_str(), bytes.size() / 1048576.0,
                    decode, build, build / decode, decoded && built ? "" : "  (failed)");
        std::fflush(stdout);
    }
    // The full-size copy's records come from a pass of our entropy decoder over it: its
    // cost against a decode of the copy, the step it replaces.
    {
        MemoryStream copy;
        JpegWriter writer(copy, width, height, kCopyQuality);
        bool written = writer.ok();
        for (int y = 0; y < height && written; ++y)
            written = writer.write_row(&rgb[size_t(y) * width * 3]);
        bool recorded = false, decoded = false;
        if (written && writer.finish()) {
            const double records = seconds(
                [&] { return copy.seek(0) && !record_level(copy, copy.size()).empty(); }, recorded);
            const double decode = seconds(
                [&] {
                    return copy.seek(0) && decode_levels(copy, copy.size(), {}, nullptr, nullptr);
                },
                decoded);
            std::printf("copy records: entropy pass %.3f s, decode %.3f s%s\n", records, decode,
                        recorded && decoded ? "" : "  (failed)");
            std::fflush(stdout);
        }
    }
    // 48 megapixels: the photo repeated over 8000 x 6000.
    const int big_w = 8000, big_h = 6000;
    std::vector<uint8_t> big(size_t(big_w) * big_h * 3);
    for (int y = 0; y < big_h; ++y)
        for (int x = 0; x < big_w; ++x)
            std::memcpy(&big[(size_t(y) * big_w + x) * 3],
                        &rgb[(size_t(y % height) * width + x % width) * 3], 3);
    rgb = {};
    // Each measured as soon as it is written (the HEIC takes minutes to encode).
    for (const std::string format : {"png", "webp", "tiff", "jxl", "heic"}) {
        const std::vector<uint8_t> bytes =
            test::encode_rgb_as(format, big, big_w, big_h, (dir / "scratch.tif").string());
        if (bytes.empty()) {
            std::printf("48 MP %s: no encoder\n", format.c_str());
            continue;
        }
        const std::string file = (dir / ("big." + format)).string();
        write(file, bytes);
        std::printf("48 MP %s: peak %.1f MB while its cache is built\n", format.c_str(),
                    build_peak_mb(file, drive));
        std::fflush(stdout);
    }
    fs::remove_all(dir);
    return 0;
}
