#pragma once
// A full check of a cache file against its layout, for the tool and the tests: the header,
// blocks in order without gaps, every level's size and record count, the thumbnail, and
// every section against its checksum when the file has them.

#include <string>
#include <vector>

#include "library/cache/cache_file.h"

namespace vistrel {

struct CacheLevelReport {
    int width = 0;
    int height = 0;
    size_t records = 0;           // records stored
    size_t expected_records = 0;  // what the level's scan yields (0 when not followed)
};

struct CacheReport {
    bool valid = false;
    std::string problem;  // the first thing found wrong
    CacheHeader header;
    std::vector<CacheLevelReport> levels;  // level 0 (the picture) first
    int thumbnail_width = 0;
    int thumbnail_height = 0;
};

// Checks the cache file `cache` of the picture `picture`.
CacheReport inspect_cache_file(const std::u16string& cache, const std::u16string& picture);

}  // namespace vistrel
