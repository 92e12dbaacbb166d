// The 16-bit bitmap reader: any bytes give a bitmap within the limits or nothing, every
// pixel of a bitmap is defined, and what was read survives a write and a second read.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/file_stream.h"
#include "render/bmp_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vistrel;
    // A bitmap takes no more memory than about twice the bytes of its file, so claims of
    // any size are fuzzed.
    MemoryStream in(std::vector<uint8_t>(data, data + size));
    const std::unique_ptr<Bitmap> bitmap = read_bmp_565(in);
    if (!bitmap) return 0;
    const uint64_t bytes = uint64_t(bitmap->width()) * uint64_t(bitmap->height()) * 2;
    if (bytes > 2 * size + 2 * kSmallBmpBytes) std::abort();
    if (bitmap->width() < 1 || bitmap->height() < 1 ||
        int64_t(bitmap->width()) * bitmap->height() > kMaxBmpPixels)
        std::abort();
    // Touch every pixel so that uninitialised memory shows under the sanitizers.
    uint32_t sum = 0;
    for (int y = 0; y < bitmap->height(); ++y)
        for (int x = 0; x < bitmap->width(); ++x) sum += bitmap->row(y)[x];
    if (sum == 0xFFFFFFFFu) std::abort();

    if (int64_t(bitmap->width()) * bitmap->height() > 1 << 20) return 0;  // keep runs quick
    MemoryStream out;
    if (!write_bmp_565(*bitmap, out)) std::abort();
    out.rewind();
    const std::unique_ptr<Bitmap> again = read_bmp_565(out);
    if (!again || again->size() != bitmap->size()) std::abort();
    for (int y = 0; y < bitmap->height(); ++y)
        if (std::memcmp(again->row(y), bitmap->row(y), size_t(bitmap->width()) * 2) != 0)
            std::abort();
    return 0;
}
