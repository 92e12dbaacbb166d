#pragma once
// Building the cache file of one picture: the pyramid of halved levels with their resume
// records, and the thumbnail.

#include <string>

#include "library/cache/half_pass.h"
#include "library/jpeg/jpeg_reader.h"

namespace vistrel {

// Makes the cache file of a picture under `drive` (see cache_file.h). One decode of the
// picture, which records its resume records, makes every halved level, each from the
// pixels of the one above; each level's own records come from our decoder's pass over its
// JPEG; the thumbnail is made from the smallest level. The header is written last. `stop`
// is asked before every decoded row. False when the picture cannot be read or decoded, is
// damaged, has orientation 0, changed meanwhile, or a write failed; the file is then left
// unfinished (never valid).
bool build_cache(const std::u16string& picture, const std::u16string& drive, const StopTest& stop,
                 RecordingMode mode = RecordingMode::InStep);

// Makes sure the cache folder exists and builds the cache file; when that fails, the file
// is replaced by an empty one, the marker of a failed picture. Returns what build_cache
// returned.
bool build_cache_file(const std::u16string& picture, const std::u16string& drive,
                      const StopTest& stop);

}  // namespace vistrel
