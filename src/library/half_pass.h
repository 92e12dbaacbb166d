#pragma once
// The halving step of the cache: decode a JPEG at full size and write one of half its
// width and height, recording the entropy decoder's resume records on the way.

#include <cstdint>
#include <vector>

#include "library/jpeg_reader.h"
#include "library/resume_record.h"
#include "platform/file_stream.h"

namespace vistrel {

// How the records are gathered: by our decoder running alongside libjpeg, a few MCU rows
// ahead of its output, or in a pass of its own over the same bytes after libjpeg is done.
enum class RecordingMode { InStep, OwnPass };

inline constexpr int kLevelQuality = 75;

// Decodes the JPEG at the input stream's position (`input_size` bytes) with the fast
// integer inverse DCT and writes the picture halved (each output pixel the rounded mean of
// a 2 x 2 block; an odd last row and column are dropped) as a JPEG of quality 75. `stop` is
// asked before every row. When `records` is given it receives the level's resume records,
// in decoding order, or stays empty when our decoder does not follow the picture
// (progressive, arithmetic-coded, 12-bit, unusual sampling). False when the input cannot
// be decoded, is damaged or cut short, the output cannot be written, or `stop` said so.
bool half_pass(InputStream& input, uint64_t input_size, OutputStream& output,
               const StopTest& stop, std::vector<ResumeRecord>* records,
               RecordingMode mode = RecordingMode::OwnPass);

// Only the records of a level, without decoding its pixels: what the cache needs of its
// smallest level. Empty when our decoder does not follow the picture or its data is
// broken.
std::vector<ResumeRecord> record_level(InputStream& input, uint64_t input_size);

}  // namespace vistrel
