#pragma once
// The ICC profile of a JPEG: its APP2 segments that begin "ICC_PROFILE\0", each holding
// one chunk of the profile with its sequence number (1..count) and the count of chunks.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vistrel {

class IccChunks {
public:
    // Profiles are at most this large: what 255 chunks of one JPEG segment hold.
    static constexpr size_t kMaxProfileSize = 255 * (65533 - 14);

    // Takes the payload of one APP2 segment (the bytes after its length), which must stay
    // alive until profile() is asked. Segments that are not ICC chunks are passed over.
    void add_segment(std::span<const uint8_t> payload);
    // Whether any ICC chunk was seen.
    bool any() const { return !m_chunks.empty() || m_broken; }
    // The chunks put together in sequence-number order, or nothing (with a trace line)
    // when one is missing, repeated, numbered outside 1..count, when the chunks disagree
    // on the count, or when a chunk is empty.
    std::vector<uint8_t> profile() const;

private:
    struct Chunk {
        int number;
        int count;
        std::span<const uint8_t> data;
    };
    std::vector<Chunk> m_chunks;
    bool m_broken = false;  // an ICC segment too short to hold its numbers
};

}  // namespace vistrel
