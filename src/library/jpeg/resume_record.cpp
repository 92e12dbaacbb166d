#include "library/jpeg/resume_record.h"

namespace vistrel {

namespace {

void put16(uint8_t* out, uint16_t value) {
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
}

void put32(uint8_t* out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint16_t get16(const uint8_t* in) {
    return static_cast<uint16_t>(in[0] | in[1] << 8);
}

uint32_t get32(const uint8_t* in) {
    return uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
}

}  // namespace

void ResumeRecord::store(uint8_t* out) const {
    for (int c = 0; c < 3; ++c)
        put16(out + 2 * c, static_cast<uint16_t>(dc[c]));
    out[6] = bit_count;
    put32(out + 7, restarts_to_go);
    put32(out + 11, bytes_to_end);
    out[15] = next_restart;
    out[16] = marker;
}

ResumeRecord ResumeRecord::load(const uint8_t* in) {
    ResumeRecord record;
    for (int c = 0; c < 3; ++c)
        record.dc[c] = static_cast<int16_t>(get16(in + 2 * c));
    record.bit_count = in[6];
    record.restarts_to_go = get32(in + 7);
    record.bytes_to_end = get32(in + 11);
    record.next_restart = in[15];
    record.marker = in[16];
    return record;
}

uint32_t bit_buffer_before(const uint8_t* begin, const uint8_t* position) {
    uint32_t bits = 0;
    int found = 0;
    const uint8_t* at = position;
    while (found < 4 && at > begin) {
        const uint8_t byte = at[-1];
        const bool after_ff = at - begin >= 2 && at[-2] == 0xFF;
        if (after_ff && byte == 0x00) {
            bits |= uint32_t(0xFF) << (8 * found++);
            at -= 2;
        } else if (after_ff && byte >= 0xD0 && byte <= 0xD9) {
            at -= 2;
        } else {
            bits |= uint32_t(byte) << (8 * found++);
            at -= 1;
        }
    }
    return bits;
}

}  // namespace vistrel
