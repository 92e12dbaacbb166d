#pragma once
// Cache files as they were before section checksums, for measuring what the checks cost.

#include <string>
#include <utility>

namespace vistrel::bench {

// A copy of `picture` under another storage root in the benchmark folder, whose cache file
// is the picture's own (built under `drive`) without the entries at its end. Returns the
// copy's path and storage root; empty when the picture has no cache file to read.
std::pair<std::u16string, std::u16string> unchecked_twin(const std::u16string& picture,
                                                         const std::u16string& drive);

}  // namespace vistrel::bench
