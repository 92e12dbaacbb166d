#include "library/cache/section_checksums.h"

#include "library/cache/crc32.h"
#include "library/cache/little_endian.h"

namespace vistrel {

void SectionChecksums::add(uint32_t offset, uint32_t size, uint32_t crc) {
    m_sections.push_back({offset, size, crc});
}

std::vector<uint8_t> SectionChecksums::bytes() const {
    std::vector<uint8_t> out;
    put32(out, static_cast<uint32_t>(m_sections.size()));
    for (const Section& s : m_sections) {
        put32(out, s.offset);
        put32(out, s.size);
        put32(out, s.crc);
    }
    return out;
}

bool SectionChecksums::parse(const std::vector<uint8_t>& bytes) {
    m_sections.clear();
    if (bytes.size() < 4) return false;
    const uint32_t count = get32(bytes.data());
    if (uint64_t(count) * 12 != bytes.size() - 4) return false;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* at = &bytes[4 + 12 * size_t(i)];
        add(get32(at), get32(at + 4), get32(at + 8));
    }
    return true;
}

const SectionChecksums::Section* SectionChecksums::find(uint64_t offset, uint64_t size) const {
    for (const Section& s : m_sections)
        if (s.offset == offset && s.size == size) return &s;
    return nullptr;
}

bool SectionChecksums::matches(uint64_t offset, uint64_t size, uint32_t crc) const {
    if (size == 0) return true;
    const Section* listed = find(offset, size);
    return listed && listed->crc == crc;
}

bool SectionChecksums::matches(InputStream& stream, uint64_t offset, uint64_t size) const {
    if (size == 0) return true;
    const Section* listed = find(offset, size);
    uint32_t crc = 0;
    return listed && crc32_of_stream(stream, offset, size, crc) && crc == listed->crc;
}

}  // namespace vistrel
