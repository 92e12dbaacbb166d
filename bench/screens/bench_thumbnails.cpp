// What a thumbnail costs the interface thread: framing a decoded thumbnail, and loading
// one from a built cache file (name, check, decode, frame), as the album and folder
// screens do for every entry and grid place; and for large grid cells the stand-in
// (the framed thumbnail stretched, interface thread) and the cell picture from the
// smallest level (read, decode, cut, scale and frame, on the cells' own thread).

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

#include "jpeg_samples.h"
#include "library/cache/cache_builder.h"
#include "platform/text.h"
#include "render/picture.h"
#include "library/cache/smallest_level.h"
#include "render/bitmap.h"
#include "screens/cell_pictures.h"
#include "screens/thumbnails.h"

namespace {

using namespace vistrel;
namespace fs = std::filesystem;

// A built cache file for one picture in a folder of its own, for the life of the run.
struct CachedPicture {
    fs::path dir = fs::temp_directory_path() / ("vistrel-bench-thumbs-" + std::to_string(getpid()));
    std::u16string picture;
    std::u16string drive;
    CachedPicture() {
        fs::create_directories(dir);
        test::JpegOptions options;
        options.width = 640;
        options.height = 480;
        const std::vector<uint8_t> jpeg = test::make_jpeg(options);
        const fs::path path = dir / "picture.jpg";
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(jpeg.data()), std::streamsize(jpeg.size()));
        picture = from_utf8(path.string());
        drive = from_utf8(dir.string() + "/");
        build_cache_file(picture, drive, [] { return false; });
    }
    ~CachedPicture() { fs::remove_all(dir); }
};

CachedPicture& cached() {
    static CachedPicture picture;
    return picture;
}

PictureReference frame_picture(Size size) {
    std::unique_ptr<Bitmap> frame = Bitmap::create(size);
    for (int y = 0; y < size.h; ++y)
        for (int x = 0; x < size.w; ++x)
            frame->row(y)[x] = 0x8410 | 0x0020;  // lets the photo through
    PictureHandle handle;
    picture_from_bitmap(std::move(frame), handle);
    return PictureReference::whole(handle);
}

void BM_FrameThumbnail(benchmark::State& state) {
    const Size size{int(state.range(0)), int(state.range(0))};
    const PictureReference frame = frame_picture(size);
    std::unique_ptr<Bitmap> thumbnail = Bitmap::create(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            thumbnail->row(y)[x] = Pixel(x * 997 + y);
    for (auto _ : state)
        benchmark::DoNotOptimize(framed_thumbnail(*thumbnail, size, frame));
}
BENCHMARK(BM_FrameThumbnail)->Arg(48)->Arg(52)->Arg(104);

void BM_LoadThumbnailFromCache(benchmark::State& state) {
    const Size size{int(state.range(0)), int(state.range(0))};
    const PictureReference frame = frame_picture(size);
    CachedPicture& picture = cached();
    for (auto _ : state) {
        PictureReference out;
        const ThumbnailState shown =
            load_framed_thumbnail(picture.picture, picture.drive, size, frame, out);
        if (shown != ThumbnailState::Ready) state.SkipWithError("no thumbnail");
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_LoadThumbnailFromCache)->Arg(52)->Arg(104);
void BM_CellStandIn(benchmark::State& state) {
    const Size size{int(state.range(0)), int(state.range(0))};
    const PictureReference small = frame_picture({52, 52});
    for (auto _ : state)
        benchmark::DoNotOptimize(stretched_picture(small, size));
}
BENCHMARK(BM_CellStandIn)->Arg(128)->Arg(256);

void BM_CellPictureFromSmallestLevel(benchmark::State& state) {
    const Size size{int(state.range(0)), int(state.range(0))};
    const PictureReference frame = frame_picture(size);
    CachedPicture& picture = cached();
    for (auto _ : state) {
        const std::unique_ptr<Bitmap> level =
            load_smallest_level(picture.picture, picture.drive, size.w);
        if (!level) state.SkipWithError("no level");
        if (level) benchmark::DoNotOptimize(cell_picture(*level, size, frame));
    }
}
BENCHMARK(BM_CellPictureFromSmallestLevel)->Arg(128)->Arg(256);

}  // namespace
