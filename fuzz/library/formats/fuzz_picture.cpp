// One picture reader over any bytes (the reader is chosen when the target is built): a
// picture is read, refused with a reason, or shows what decodes; never a crash, a hang, a
// read out of bounds or unbounded memory.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "library/formats/picture_source.h"

#ifndef VISTREL_FUZZ_READER
#error "VISTREL_FUZZ_READER names the reader under test"
#endif

namespace {

// Larger pictures are opened (their headers read) but not decoded, to keep runs short.
constexpr int64_t kMaxDecodedPixels = 1 << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vistrel;
    std::string problem;
    auto input = std::make_unique<MemoryStream>(std::vector<uint8_t>(data, data + size));
    std::unique_ptr<PictureSource> source = VISTREL_FUZZ_READER(std::move(input), problem);
    if (!source || int64_t(source->width()) * source->height() > kMaxDecodedPixels) return 0;
    std::vector<uint8_t> row(size_t(source->width()) * 3);
    while (source->read_row(row.data())) {
    }
    return 0;
}
