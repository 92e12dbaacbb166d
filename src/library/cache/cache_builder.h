#pragma once
// Building the cache file of one picture: the pyramid of halved levels with their resume
// records, and the thumbnail.

#include <string>

#include "library/cache/half_pass.h"
#include "library/jpeg/jpeg_reader.h"

namespace vistrel {

// Why a cache file could not be built.
enum class CacheProblem {
    None,
    Missing,      // the picture is gone
    NotReadable,  // not a JPEG, or its header cannot be read, or it is too large
    Damaged,      // no image data in it decodes (or a level could not be made)
    Changed,      // the picture changed while it was read
    WriteFailed,  // the cache file could not be written (no room, no permission)
    Stopped,      // a stop request ended the build
};

// A few words about a problem, for people.
const char* describe(CacheProblem problem);

// Makes the cache file of a picture under `drive` (see cache_file.h). One decode of the
// picture at half scale, which records its resume records, makes every halved level: the
// first is that decode, each further one halved from the pixels of the one above; each
// level's own records come from our decoder's pass over its JPEG; the thumbnail is made from the smallest level. A progressive or arithmetic-coded
// picture is first copied losslessly into one baseline scan, which the file keeps as its
// full-size level. A picture of another format is decoded once, its rows making both a
// baseline JPEG copy (the full-size level) and the halved levels. The file is written
// under a name of its own and renamed when whole. `stop` is asked before every decoded
// row. False when the picture cannot be read or decoded, is damaged, changed meanwhile,
// or a write failed; `problem` (when given) then says which.
bool build_cache(const std::u16string& picture, const std::u16string& drive, const StopTest& stop,
                 RecordingMode mode = RecordingMode::InStep, CacheProblem* problem = nullptr);

// Makes sure the cache folder exists and builds the cache file; when that fails, other
// than by a stop request, an empty file takes its name: the marker of a failed picture.
// Returns what build_cache returned.
bool build_cache_file(const std::u16string& picture, const std::u16string& drive,
                      const StopTest& stop);
// The same, saying what went wrong: CacheProblem::None when the file was built.
CacheProblem build_cache_file_for(const std::u16string& picture, const std::u16string& drive,
                                  const StopTest& stop);

}  // namespace vistrel
