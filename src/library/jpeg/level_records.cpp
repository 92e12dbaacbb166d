#include "library/jpeg/level_records.h"

namespace vistrel {

namespace {

bool record_fits(const ResumeRecord& record, const JpegLayout& layout, uint64_t data_size) {
    const auto interval = static_cast<uint32_t>(layout.restart_interval);
    return record.bit_count <= 32 && record.bytes_to_end <= data_size &&
           record.restarts_to_go <= interval && record.next_restart <= 7;
}

}  // namespace

bool LevelRecords::assign(std::vector<uint8_t> bytes, const JpegLayout& layout,
                          uint64_t data_size) {
    m_bytes.clear();
    m_per_row = m_step = 0;
    if (!layout.ok() || layout.mcus_per_row < 1 || layout.mcu_rows < 1) return false;
    const int step = record_step(layout.mcu_width);
    const int per_row = (layout.mcus_per_row + step - 1) / step;
    const size_t row_bytes = size_t(per_row) * kResumeRecordSize;
    if (bytes.empty() || bytes.size() % row_bytes != 0 ||
        bytes.size() > row_bytes * size_t(layout.mcu_rows))
        return false;
    uint64_t previous = data_size;
    for (size_t at = 0; at < bytes.size(); at += kResumeRecordSize) {
        const ResumeRecord record = ResumeRecord::load(&bytes[at]);
        if (!record_fits(record, layout, data_size) || record.bytes_to_end > previous) return false;
        if (at == 0 && (record.bytes_to_end != data_size || record.bit_count != 0)) return false;
        previous = record.bytes_to_end;
    }
    m_bytes = std::move(bytes);
    m_bytes.shrink_to_fit();
    m_per_row = per_row;
    m_step = step;
    return true;
}

}  // namespace vistrel
