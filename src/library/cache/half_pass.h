#pragma once
// The halving step of the cache: decode a JPEG at half scale and write its levels, recording
// our entropy decoder's resume records on the way.

#include <cstdint>
#include <vector>

#include "library/jpeg/jpeg_reader.h"
#include "library/jpeg/resume_record.h"
#include "platform/file_stream.h"

namespace vistrel {

// How the records are gathered: by our decoder decoding the MCUs for libjpeg in place of
// its own Huffman decoder, in step with its row output, or by our decoder in a pass of its
// own over the same bytes after libjpeg has decoded them.
enum class RecordingMode { InStep, OwnPass };

inline constexpr int kLevelQuality = 75;
// The full-size JPEG a picture of another format is turned into.
inline constexpr int kCopyQuality = 92;

// Decodes the JPEG at the input's position (`input_size` bytes) and writes halved copies of
// it as JPEGs of quality 75: the first, to levels[0], is its decode at half scale (libjpeg's
// scaled inverse DCT) without the odd last row and column that rounds up; each further one
// is halved from the pixels of the one before (each output pixel the rounded mean of a
// 2 x 2 block; an odd last row and column are dropped). No levels: only decoded at full
// size with the fast integer inverse DCT and checked. `stop` is asked before every row. When `records` is
// given it receives the picture's resume records in decoding order, or stays empty when
// our decoder does not follow the picture (progressive, arithmetic-coded, 12-bit, unusual
// sampling). A picture whose data is damaged or cut short is decoded as libjpeg decodes it
// to its end (grey where data is missing); `damaged` (when given) then tells whether it
// was damaged rather than cut short, and `records` stays empty for it, as ours would not
// follow libjpeg there. False when the input cannot be decoded or holds no image data, an
// output cannot be written, or `stop` said so.
bool decode_levels(InputStream& input, uint64_t input_size,
                   const std::vector<OutputStream*>& levels, const StopTest& stop,
                   std::vector<ResumeRecord>* records, RecordingMode mode = RecordingMode::InStep,
                   bool* damaged = nullptr);

// One halving: decode_levels with one level.
bool half_pass(InputStream& input, uint64_t input_size, OutputStream& output, const StopTest& stop,
               std::vector<ResumeRecord>* records, RecordingMode mode = RecordingMode::InStep);

// Only the records of a JPEG, without decoding its pixels: what the cache needs of the
// levels it made itself. Empty when our decoder does not follow the picture or its data is
// broken.
std::vector<ResumeRecord> record_level(InputStream& input, uint64_t input_size);

}  // namespace vistrel
