// The helper of measure_fresh_folder.sh:
//   fresh_folder make OUT COUNT [MEGAPIXELS [exif]]
//       a folder of COUNT photos from the real-photo corpus, taken in turn, each with a
//       modification time of its own (so each needs a cache file of its own); with
//       MEGAPIXELS each is scaled up to about that many pixels and encoded again (with no
//       EXIF block, as an edited photo; with "exif", with a block holding a thumbnail of
//       160 pixels a side, as a phone's photo), else copied as it is
//   fresh_folder decode FILE...
//       the time one core takes to decode the pictures with libjpeg-turbo's fast IDCT,
//       as "decode_wall: S s" and "decode_cpu: S s"
//   fresh_folder quick FILE...
//       the time one core takes to make the pictures' quick thumbnails (what each came
//       from counted), as "quick_wall: S s", "quick_cpu: S s" and "quick_each: MS ms"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench_pictures.h"
#include "jpeg_samples.h"
#include "library/cache/quick_thumbnail.h"
#include "platform/text.h"
#include "render/bitmap.h"

namespace {

namespace fs = std::filesystem;
using namespace vistrel::bench;

std::vector<uint8_t> read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

bool write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return out.good();
}

double thread_cpu_seconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// `jpeg` with an EXIF block right after its start, holding a thumbnail of at most 160 a
// side of `picture` (the pixels it holds), of the same aspect ratio.
std::vector<uint8_t> with_exif_thumbnail(const std::vector<uint8_t>& jpeg,
                                         const RgbPicture& picture) {
    const double factor = 160.0 / std::max(picture.width, picture.height);
    const int width = std::max(1, int(std::lround(picture.width * factor)));
    const int height = std::max(1, int(std::lround(picture.height * factor)));
    const RgbPicture small = scale_picture(picture, width, height);
    vistrel::test::ExifBlock block;
    block.thumbnail = encode_picture(small.pixels, width, height);
    return block.inserted(jpeg);
}

int make(const std::string& out, int count, double megapixels, bool exif) {
    std::vector<std::string> photos;
    for (const char* folder : {"large", "orientation", "cameras"})
        for (const std::string& file : photo_files(folder))
            photos.push_back(file);
    if (photos.empty()) {
        std::printf("no photos in %s: skipped\n", VISTREL_PHOTOS_DIR);
        return 0;
    }
    fs::create_directories(out);
    for (int i = 0; i < count; ++i) {
        std::vector<uint8_t> bytes = read_bytes(photos[size_t(i) % photos.size()]);
        if (megapixels > 0) {
            const RgbPicture picture = decode_picture(bytes);
            if (picture.width < 1) continue;
            const double factor =
                std::sqrt(megapixels * 1e6 / (double(picture.width) * picture.height));
            const int width = std::max(1, int(picture.width * factor));
            const int height = std::max(1, int(picture.height * factor));
            const RgbPicture scaled = scale_picture(picture, width, height);
            bytes = encode_picture(scaled.pixels, width, height);
            if (exif) bytes = with_exif_thumbnail(bytes, scaled);
        }
        char name[32];
        std::snprintf(name, sizeof name, "/p%03d.jpg", i);
        const std::string path = out + name;
        if (!write_bytes(path, bytes)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        const time_t when = 1600000000 + time_t(i) * 60;
        const timespec times[2] = {{when, 0}, {when, 0}};
        utimensat(AT_FDCWD, path.c_str(), times, 0);
    }
    return 0;
}

int decode(const std::vector<std::string>& files) {
    std::vector<std::vector<uint8_t>> pictures;
    uint64_t pixels = 0;
    for (const std::string& file : files) {
        pictures.push_back(read_bytes(file));
        const RgbPicture picture = decode_picture(pictures.back());  // also warms the caches
        pixels += uint64_t(picture.width) * uint64_t(picture.height);
    }
    const auto start = std::chrono::steady_clock::now();
    const double cpu = thread_cpu_seconds();
    for (const std::vector<uint8_t>& jpeg : pictures)
        full_decode(jpeg);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("decode_pictures: %zu (%.1f megapixels)\ndecode_wall: %.3f s\ndecode_cpu: %.3f s\n",
                pictures.size(), double(pixels) / 1e6, wall, thread_cpu_seconds() - cpu);
    return 0;
}

int quick(const std::vector<std::string>& files) {
    using vistrel::QuickSource;
    std::vector<std::u16string> pictures;
    for (const std::string& file : files) {
        pictures.push_back(vistrel::from_utf8(file));
        read_bytes(file);  // into the page cache, as a fresh copy is
    }
    int made[4] = {0, 0, 0, 0};
    const auto start = std::chrono::steady_clock::now();
    const double cpu = thread_cpu_seconds();
    for (const std::u16string& picture : pictures) {
        QuickSource source = QuickSource::None;
        const std::unique_ptr<vistrel::Bitmap> thumbnail =
            vistrel::make_quick_thumbnail(picture, &source);
        ++made[thumbnail ? int(source) : 0];
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double used = thread_cpu_seconds() - cpu;
    std::printf(
        "quick_pictures: %zu (exif %d, embedded %d, scaled %d, none %d)\n"
        "quick_wall: %.3f s\nquick_cpu: %.3f s\nquick_each: %.2f ms\n",
        pictures.size(), made[int(QuickSource::Exif)], made[int(QuickSource::Embedded)],
        made[int(QuickSource::Scaled)], made[int(QuickSource::None)], wall, used,
        pictures.empty() ? 0.0 : 1000 * used / double(pictures.size()));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 3 && args[0] == "make")
        return make(args[1], std::atoi(args[2].c_str()),
                    args.size() > 3 ? std::atof(args[3].c_str()) : 0.0,
                    args.size() > 4 && args[4] == "exif");
    if (args.size() >= 2 && args[0] == "decode") return decode({args.begin() + 1, args.end()});
    if (args.size() >= 2 && args[0] == "quick") return quick({args.begin() + 1, args.end()});
    std::fprintf(
        stderr,
        "usage: fresh_folder make OUT COUNT [MEGAPIXELS] | decode FILE... | quick FILE...\n");
    return 2;
}
