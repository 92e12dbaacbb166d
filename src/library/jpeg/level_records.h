#pragma once
// The resume records of one level as a tile decoder uses them: kept as stored (17 bytes
// each) and checked once against the level, so that every record used later points inside
// the level's entropy-coded data and describes a state our decoder can take.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "library/jpeg/jpeg_layout.h"
#include "library/jpeg/resume_record.h"

namespace vistrel {

class LevelRecords {
public:
    // Takes the stored records of a level with this layout, whose entropy-coded data is
    // `data_size` bytes long (from the layout's data offset to the level's end). False,
    // leaving it empty, unless there is one record per 256 pixels of width on every MCU
    // row from the first on (the rows of a picture cut short may end early), the first at
    // the start of the data, each inside the data and after the one
    // before, with at most 32 bits held and a restart state the layout allows.
    bool assign(std::vector<uint8_t> bytes, const JpegLayout& layout, uint64_t data_size);

    bool empty() const { return m_bytes.empty(); }
    size_t count() const { return m_bytes.size() / kResumeRecordSize; }
    // Records on every MCU row.
    int per_row() const { return m_per_row; }
    // MCU rows with records; the rows below them are missing from the picture.
    int rows() const { return m_per_row > 0 ? int(count() / size_t(m_per_row)) : 0; }
    // MCU columns from one record to the next.
    int step() const { return m_step; }
    ResumeRecord at(size_t index) const {
        return ResumeRecord::load(&m_bytes[index * kResumeRecordSize]);
    }
    // Bytes held.
    size_t held_bytes() const { return m_bytes.capacity(); }

private:
    std::vector<uint8_t> m_bytes;
    int m_per_row = 0;
    int m_step = 0;
};

}  // namespace vistrel
