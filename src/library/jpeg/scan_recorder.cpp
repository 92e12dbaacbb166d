#include "library/jpeg/scan_recorder.h"

namespace vistrel {

ScanRecorder::ScanRecorder(const JpegLayout& layout, ByteSource& source, uint64_t start,
                           uint64_t end)
    : m_layout(layout), m_reader(source, start), m_end(end), m_step(record_step(layout.mcu_width)) {
    // Byte counts are stored in 32 bits.
    m_ok = end >= start && end - start <= UINT32_MAX && m_decoder.init(layout);
}

size_t ScanRecorder::expected_records() const {
    const size_t per_row = static_cast<size_t>((m_layout.mcus_per_row + m_step - 1) / m_step);
    return per_row * static_cast<size_t>(m_layout.mcu_rows);
}

ResumeRecord ScanRecorder::record() const {
    const EntropyState& state = m_decoder.state();
    ResumeRecord r;
    r.dc = state.dc;
    r.bit_count = static_cast<uint8_t>(m_reader.count());
    r.restarts_to_go = state.restarts_to_go;
    const uint64_t position = m_reader.position();
    r.bytes_to_end = static_cast<uint32_t>(position < m_end ? m_end - position : 0);
    r.next_restart = state.next_restart;
    r.marker = m_reader.marker();
    return r;
}

bool ScanRecorder::decode_rows(int row_limit, std::vector<ResumeRecord>& records) {
    if (row_limit > m_layout.mcu_rows) row_limit = m_layout.mcu_rows;
    while (m_ok && m_row < row_limit) {
        for (int column = 0; column < m_layout.mcus_per_row; ++column) {
            if (!m_decoder.begin_mcu(m_reader)) {
                m_ok = false;
                break;
            }
            if (column % m_step == 0) {
                m_reader.give_back_read_ahead();
                records.push_back(record());
            }
            if (!m_decoder.skip_mcu(m_reader)) {
                m_ok = false;
                break;
            }
        }
        if (m_ok) ++m_row;
    }
    return m_ok;
}

bool ScanRecorder::decode_next(McuBlocks blocks, std::vector<ResumeRecord>& records, bool zeroed) {
    if (!m_ok || m_row >= m_layout.mcu_rows) return m_ok = false;
    if (!m_decoder.begin_mcu(m_reader)) return m_ok = false;
    if (m_column % m_step == 0) {
        m_reader.give_back_read_ahead();
        records.push_back(record());
    }
    const bool decoded =
        blocks ? m_decoder.decode_mcu(m_reader, blocks, zeroed) : m_decoder.skip_mcu(m_reader);
    if (!decoded) return m_ok = false;
    if (++m_column == m_layout.mcus_per_row) {
        m_column = 0;
        ++m_row;
    }
    return true;
}

}  // namespace vistrel
