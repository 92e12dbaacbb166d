// The record-producing decoder over any bytes: our layout parser and entropy decoder on
// their own, resuming from every record they take, and inside libjpeg's decode when the
// picture is small enough to decode quickly.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "library/cache/half_pass.h"
#include "library/jpeg/entropy_decoder.h"
#include "library/jpeg/jpeg_layout.h"
#include "library/jpeg/scan_recorder.h"

namespace {

using namespace vistrel;

// Resumes from each record and decodes one MCU; records must point inside the data.
void resume_each(const std::vector<uint8_t>& bytes, const JpegLayout& layout,
                 const std::vector<ResumeRecord>& records) {
    EntropyDecoder decoder;
    if (!decoder.init(layout)) {
        if (!records.empty()) std::abort();  // records only come from valid tables
        return;
    }
    CoefficientBlock blocks[EntropyDecoder::kMaxBlocksInMcu];
    int16_t* pointers[EntropyDecoder::kMaxBlocksInMcu];
    for (int b = 0; b < EntropyDecoder::kMaxBlocksInMcu; ++b)
        pointers[b] = blocks[b].data();
    for (const ResumeRecord& record : records) {
        if (record.bytes_to_end > bytes.size() - layout.data_offset || record.bit_count > 32)
            std::abort();
        const size_t position = bytes.size() - record.bytes_to_end;
        uint32_t bits = 0;
        for (size_t i = position >= 4 ? position - 4 : 0; i < position; ++i)
            bits = bits << 8 | bytes[i];
        SpanSource source(bytes.data(), bytes.size(), position);
        BitReader reader(source, position);
        reader.resume(bits, record.bit_count, record.marker);
        decoder.set_state({record.dc, record.restarts_to_go, record.next_restart});
        if (decoder.begin_mcu(reader)) decoder.decode_mcu(reader, pointers);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    MemoryStream stream(bytes);
    const JpegLayout layout = read_jpeg_layout(stream);
    if (layout.ok()) {
        SpanSource source(bytes.data(), bytes.size(), layout.data_offset);
        ScanRecorder recorder(layout, source, layout.data_offset, bytes.size());
        std::vector<ResumeRecord> records;
        recorder.decode_rows(layout.mcu_rows, records);
        if (records.size() > recorder.expected_records()) std::abort();
        resume_each(bytes, layout, records);
    }
    // Through libjpeg with our decoder in its place, for pictures that decode quickly.
    if (layout.width * int64_t(layout.height) <= 1 << 20) {
        for (const RecordingMode mode : {RecordingMode::InStep, RecordingMode::OwnPass}) {
            MemoryStream input(bytes), output;
            std::vector<ResumeRecord> records;
            half_pass(input, bytes.size(), output, {}, &records, mode);
        }
    }
    return 0;
}
