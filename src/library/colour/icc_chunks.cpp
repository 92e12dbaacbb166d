#include "library/colour/icc_chunks.h"

#include <algorithm>
#include <cstring>

#include "platform/threads.h"
#include "platform/trace.h"

namespace vistrel {

namespace {

constexpr char kIccMarker[] = "ICC_PROFILE";  // with its terminating zero: 12 bytes
constexpr size_t kIccMarkerSize = sizeof kIccMarker;
constexpr size_t kChunkHeaderSize = kIccMarkerSize + 2;  // marker, number, count

std::vector<uint8_t> refuse(const char* why) {
    trace() << tick_count() << "colour: JPEG profile ignored: " << why << "\n";
    return {};
}

}  // namespace

void IccChunks::add_segment(std::span<const uint8_t> payload) {
    if (payload.size() < kIccMarkerSize ||
        std::memcmp(payload.data(), kIccMarker, kIccMarkerSize) != 0)
        return;
    if (payload.size() < kChunkHeaderSize) {
        m_broken = true;
        return;
    }
    m_chunks.push_back(
        {payload[kIccMarkerSize], payload[kIccMarkerSize + 1], payload.subspan(kChunkHeaderSize)});
}

std::vector<uint8_t> IccChunks::profile() const {
    if (m_broken) return refuse("a chunk too short for its numbers");
    if (m_chunks.empty()) return {};
    const int count = m_chunks.front().count;
    if (count < 1) return refuse("a count of 0 chunks");
    if (m_chunks.size() != size_t(count)) return refuse("chunks missing or repeated");
    // Stored in any order; each number once.
    std::vector<const Chunk*> in_order(size_t(count), nullptr);
    size_t total = 0;
    for (const Chunk& chunk : m_chunks) {
        if (chunk.count != count) return refuse("chunks disagree on their count");
        if (chunk.number < 1 || chunk.number > count)
            return refuse("a chunk numbered past the count");
        const Chunk*& slot = in_order[size_t(chunk.number - 1)];
        if (slot) return refuse("a chunk repeated");
        if (chunk.data.empty()) return refuse("an empty chunk");
        slot = &chunk;
        total += chunk.data.size();
    }
    if (total > kMaxProfileSize) return refuse("larger than a JPEG can hold");
    std::vector<uint8_t> bytes;
    bytes.reserve(total);
    for (const Chunk* chunk : in_order)
        bytes.insert(bytes.end(), chunk->data.begin(), chunk->data.end());
    return bytes;
}

}  // namespace vistrel
