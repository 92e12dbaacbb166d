#include "library/cache/cache_entries.h"

#include "library/cache/crc32.h"
#include "library/cache/little_endian.h"

namespace vistrel {

void CacheEntries::set(uint32_t tag, std::vector<uint8_t> value) {
    for (auto& [t, v] : m_entries)
        if (t == tag) {
            v = std::move(value);
            return;
        }
    m_entries.emplace_back(tag, std::move(value));
}

const std::vector<uint8_t>* CacheEntries::find(uint32_t tag) const {
    for (const auto& [t, v] : m_entries)
        if (t == tag) return &v;
    return nullptr;
}

std::vector<uint8_t> CacheEntries::bytes() const {
    std::vector<uint8_t> out;
    for (const auto& [tag, value] : m_entries) {
        put32(out, tag);
        put32(out, static_cast<uint32_t>(value.size()));
        out.insert(out.end(), value.begin(), value.end());
    }
    const uint32_t size = static_cast<uint32_t>(out.size());
    put32(out, size);
    put32(out, crc32_of(out.data(), out.size()));
    put32(out, kCacheEntriesTag);
    return out;
}

CacheEntries::Found CacheEntries::read(InputStream& stream, uint64_t file_size, uint64_t& start) {
    m_entries.clear();
    uint8_t footer[kFooterSize];
    if (file_size < kFooterSize || !stream.seek(file_size - kFooterSize) ||
        stream.read(footer, kFooterSize) != kFooterSize || get32(footer + 8) != kCacheEntriesTag)
        return Found::None;
    const uint32_t size = get32(footer);
    if (size > kMaxBytes || size > file_size - kFooterSize) return Found::Damaged;
    std::vector<uint8_t> block(size + 4);
    const uint64_t begin = file_size - kFooterSize - size;
    if (!stream.seek(begin) || stream.read(block.data(), size) != size) return Found::Damaged;
    for (int i = 0; i < 4; ++i)
        block[size + i] = footer[i];
    if (crc32_of(block.data(), block.size()) != get32(footer + 4)) return Found::Damaged;
    for (size_t at = 0; at < size;) {
        if (size - at < 8) return Found::Damaged;
        const uint32_t tag = get32(&block[at]);
        const uint32_t length = get32(&block[at + 4]);
        at += 8;
        if (length > size - at || find(tag)) return Found::Damaged;
        m_entries.emplace_back(
            tag, std::vector<uint8_t>(block.begin() + long(at), block.begin() + long(at + length)));
        at += length;
    }
    start = begin;
    return Found::Intact;
}

}  // namespace vistrel
