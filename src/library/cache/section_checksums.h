#pragma once
// The CRC-32 of every section of a cache file (its header, each level's records and JPEG,
// the thumbnail, the baseline copy with its trailer), kept as the entry "SCRC": u32 count,
// then per section u32 offset, u32 size, u32 CRC-32. A reader checks a section when it
// first reads it, so a file damaged after it was written is found and built again instead
// of showing wrong pixels.

#include <cstdint>
#include <optional>
#include <vector>

#include "library/cache/cache_entries.h"
#include "platform/file_stream.h"

namespace vistrel {

class SectionChecksums {
public:
    static constexpr uint32_t kTag = cache_tag("SCRC");

    struct Section {
        uint32_t offset = 0;
        uint32_t size = 0;
        uint32_t crc = 0;
    };

    void add(uint32_t offset, uint32_t size, uint32_t crc);
    std::vector<uint8_t> bytes() const;
    // False when the entry is not a whole list of sections.
    bool parse(const std::vector<uint8_t>& bytes);

    // Whether the section at `offset` of `size` bytes is listed with checksum `crc`. An
    // empty section is always intact; one not listed is not.
    bool matches(uint64_t offset, uint64_t size, uint32_t crc) const;
    // The same, reading the section from `stream`.
    bool matches(InputStream& stream, uint64_t offset, uint64_t size) const;
    const std::vector<Section>& sections() const { return m_sections; }

private:
    const Section* find(uint64_t offset, uint64_t size) const;

    std::vector<Section> m_sections;
};

}  // namespace vistrel
