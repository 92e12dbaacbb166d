// The 16-bit bitmap reader: any bytes give a bitmap within the limits or nothing, every
// pixel of a bitmap is defined, and what was read survives a write and a second read.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/file_stream.h"
#include "render/bmp_file.h"

namespace {

int32_t header_field(const uint8_t* data, size_t size, size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i)
        if (at + i < size) v |= uint32_t(data[at + i]) << (8 * i);
    return int32_t(v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vistrel;
    // Pictures of many megapixels are legal and cost a large allocation each; the size
    // limits are covered by the tests, so the fuzzer spends its time on smaller ones.
    const int64_t claimed = int64_t(header_field(data, size, 18)) * header_field(data, size, 22);
    if (claimed > (int64_t(1) << 22) || claimed < -(int64_t(1) << 22)) return 0;
    MemoryStream in(std::vector<uint8_t>(data, data + size));
    const std::unique_ptr<Bitmap> bitmap = read_bmp_565(in);
    if (!bitmap) return 0;
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
