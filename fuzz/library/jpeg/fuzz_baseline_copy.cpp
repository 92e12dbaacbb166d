// Pictures our decoder does not follow as they are: the lossless baseline copy of
// progressive and arithmetic-coded pictures and the halving step over that copy with its
// records, and the halving step through libjpeg alone for CMYK pictures and pictures cut
// short.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "library/cache/half_pass.h"
#include "library/jpeg/jpeg_reader.h"
#include "library/jpeg/jpeg_writer.h"

namespace {

using namespace vistrel;

// Larger pictures take too long per run.
constexpr int64_t kMaxPixels = 1 << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    MemoryStream input(bytes);
    JpegReader reader(input, bytes.size());
    if (!reader.ok() || int64_t(reader.width()) * reader.height() > kMaxPixels) return 0;
    if (reader.is_copyable_to_baseline() && reader.read_coefficients()) {
        MemoryStream copy;
        if (write_baseline_copy(reader, copy)) {
            // What we wrote, libjpeg reads back at the same size.
            copy.rewind();
            JpegReader again(copy, copy.size());
            if (!again.ok() || again.width() != reader.width() || again.height() != reader.height())
                std::abort();
            copy.rewind();
            MemoryStream output;
            std::vector<ResumeRecord> records;
            half_pass(copy, copy.size(), output, {}, &records);
        }
    }
    for (const RecordingMode mode : {RecordingMode::InStep, RecordingMode::OwnPass}) {
        MemoryStream picture(bytes), output;
        std::vector<ResumeRecord> records;
        half_pass(picture, bytes.size(), output, {}, &records, mode);
    }
    return 0;
}
