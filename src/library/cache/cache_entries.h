#pragma once
// The tagged entries at the end of a cache file: facts kept with a picture's cache (the
// checksums of the file's sections, and whatever later needs a place) in a small block
// with a checksum of its own, found from the fixed-size footer that ends the file.
//
//   entry          8 + n  u32 tag, u32 n, n bytes of value; entries follow each other
//   ...
//   footer         12     u32 bytes of the entries, u32 CRC-32 of the entries followed by
//                         that first footer field, u32 kCacheEntriesTag ("VCE1")
//
// Tags are four ASCII letters read as a little-endian number (cache_tag("SCRC")). A reader
// takes the entries it knows and passes over the others, so entries can be added without
// changing the format; a tag stands at most once.

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "platform/file_stream.h"

namespace vistrel {

// The tag of four ASCII letters: cache_tag("DATE").
constexpr uint32_t cache_tag(const char (&name)[5]) {
    return uint32_t(uint8_t(name[0])) | uint32_t(uint8_t(name[1])) << 8 |
           uint32_t(uint8_t(name[2])) << 16 | uint32_t(uint8_t(name[3])) << 24;
}

inline constexpr uint32_t kCacheEntriesTag = cache_tag("VCE1");

class CacheEntries {
public:
    static constexpr uint32_t kFooterSize = 12;
    // The most the entries may take together; a footer claiming more is damaged.
    static constexpr uint32_t kMaxBytes = 256 * 1024;

    enum class Found {
        None,     // the file does not end in a footer (a file from before entries)
        Intact,   // the block reads and its checksum matches
        Damaged,  // a footer, but the block is not what was written
    };

    // Sets the entry `tag` (replacing its value when it is there already).
    void set(uint32_t tag, std::vector<uint8_t> value);
    // The value of entry `tag`; nothing when there is none.
    const std::vector<uint8_t>* find(uint32_t tag) const;
    bool empty() const { return m_entries.empty(); }
    void clear() { m_entries.clear(); }

    // The entries and their footer, to be written at the end of the file.
    std::vector<uint8_t> bytes() const;
    // Reads the block ending a stream of `file_size` bytes; on Intact, `start` is where the
    // block begins (the end of everything before it).
    Found read(InputStream& stream, uint64_t file_size, uint64_t& start);

private:
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> m_entries;
};

}  // namespace vistrel
