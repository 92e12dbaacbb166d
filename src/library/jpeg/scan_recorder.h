#pragma once
// Follows the scan of one level with our entropy decoder and takes a resume record at the
// MCUs the cache keeps: on every MCU row, every 16th MCU (MCUs wider than 8 pixels) or
// every 32nd, starting with the first, so one record per 256 pixels of width. Records are
// taken after a due restart marker has been read.

#include <cstdint>
#include <vector>

#include "library/jpeg/bit_reader.h"
#include "library/jpeg/entropy_decoder.h"
#include "library/jpeg/jpeg_layout.h"
#include "library/jpeg/resume_record.h"

namespace vistrel {

class ScanRecorder {
public:
    // `source` gives the level's entropy-coded data from input position `start` on; the
    // level's data ends at position `end`, from which the records count their bytes.
    ScanRecorder(const JpegLayout& layout, ByteSource& source, uint64_t start, uint64_t end);

    // False when the layout is not followed, or once decoding failed.
    bool ok() const { return m_ok; }
    // Decodes whole MCU rows until `row_limit` rows are done (or all of them), passing
    // over the coefficients and appending the records taken. False when the data is broken
    // or ends early.
    bool decode_rows(int row_limit, std::vector<ResumeRecord>& records);
    // Decodes the next MCU into `blocks` (`zeroed` when they come cleared; null to pass
    // over them), appending a record first when one is due: the way to follow the scan
    // while someone else needs its coefficients.
    bool decode_next(McuBlocks blocks, std::vector<ResumeRecord>& records, bool zeroed = false);
    bool finished() const { return m_ok && m_row == m_layout.mcu_rows; }
    int rows_done() const { return m_row; }
    int mcu_rows() const { return m_layout.mcu_rows; }
    // How many records a whole level yields.
    size_t expected_records() const;

private:
    ResumeRecord record() const;

    const JpegLayout& m_layout;
    BitReader m_reader;
    EntropyDecoder m_decoder;
    uint64_t m_end;
    int m_step;
    int m_row = 0;
    int m_column = 0;  // of the next MCU, for decode_next
    bool m_ok = false;
};

}  // namespace vistrel
