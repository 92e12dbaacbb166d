#pragma once
// The resume record: the entropy decoder's state at the start of one MCU, 17 bytes packed
// little-endian in the cache file.
//
//   0  2  DC predictor of component 0 (signed)      7  4  MCUs left to the next restart
//   2  2  DC predictor of component 1               11 4  bytes from the position to the
//   4  2  DC predictor of component 2                     end of the level's data
//   6  1  unused bits held in the bit buffer        15 1  number of the next restart marker
//                                                   16 1  low byte of a marker read ahead
//
// The bit buffer's contents are not stored: they are the last data bytes before the
// position (see BitReader).

#include <array>
#include <cstddef>
#include <cstdint>

namespace vistrel {

inline constexpr int kResumeRecordSize = 17;

struct ResumeRecord {
    std::array<int16_t, 3> dc{};
    uint8_t bit_count = 0;
    uint32_t restarts_to_go = 0;
    uint32_t bytes_to_end = 0;
    uint8_t next_restart = 0;
    uint8_t marker = 0;

    void store(uint8_t* out) const;
    static ResumeRecord load(const uint8_t* in);
    friend bool operator==(const ResumeRecord&, const ResumeRecord&) = default;
};

// Records go one per 256 pixels of width on every MCU row: at the MCUs whose column is a
// multiple of this step.
inline int record_step(int mcu_width) {
    return mcu_width > 8 ? 16 : 32;
}

// The bit buffer at a record's position, rebuilt from the entropy-coded bytes before it:
// the last 4 data bytes, walking back from `position` (not before `begin`) over stuffed
// zeros (FF 00 is the data byte FF) and over restart, start and end markers, as a
// big-endian number whose low byte is the one nearest the position.
uint32_t bit_buffer_before(const uint8_t* begin, const uint8_t* position);

// Enough bytes before a position for bit_buffer_before: 4 data bytes, each possibly
// stuffed, with a marker among them.
inline constexpr size_t kBitBufferLookBack = 10;

}  // namespace vistrel
