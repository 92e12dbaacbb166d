#include "library/half_pass.h"

#include <memory>
#include <optional>

#include "library/byte_source.h"
#include "library/jpeg_layout.h"
#include "library/jpeg_writer.h"
#include "library/scan_recorder.h"

namespace vistrel {

namespace {

// Our decoder and the bytes it reads, for one level.
class LevelRecorder {
public:
    // Reads the layout from the stream's position and leaves the stream where it was.
    LevelRecorder(InputStream& input, uint64_t input_size) {
        m_origin = input.position();
        m_layout = read_jpeg_layout(input);
        input.seek(m_origin);
        if (!m_layout.ok()) return;
        const uint64_t start = m_origin + m_layout.data_offset;
        const uint64_t end = m_origin + input_size;
        if (auto* memory = dynamic_cast<MemoryStream*>(&input))
            m_source = std::make_unique<SpanSource>(memory->bytes().data(),
                                                    static_cast<size_t>(std::min<uint64_t>(
                                                        end, memory->bytes().size())),
                                                    static_cast<size_t>(start));
        else
            m_source = std::make_unique<StreamSource>(input, start);
        m_recorder.emplace(m_layout, *m_source, start, end);
    }

    bool active() const { return m_recorder && m_recorder->ok(); }

    // Whether libjpeg read the same picture as our parser: a guard against any difference
    // in how the two read a damaged header.
    bool agrees_with(const JpegReader& reader) const {
        if (!active() || !reader.is_sequential_huffman()) return false;
        if (reader.width() != m_layout.width || reader.height() != m_layout.height ||
            reader.components() != static_cast<int>(m_layout.components.size()) ||
            reader.restart_interval() != m_layout.restart_interval ||
            reader.header_size() != m_layout.data_offset)
            return false;
        for (int c = 0; c < reader.components(); ++c)
            if (reader.horizontal_sampling(c) != m_layout.components[c].h ||
                reader.vertical_sampling(c) != m_layout.components[c].v)
                return false;
        return true;
    }

    void stop() { m_recorder.reset(); }

    // Decodes MCU rows until those holding output row `row` are done.
    void follow_row(int row) {
        if (!active()) return;
        m_recorder->decode_rows(row / m_layout.mcu_height + 1, m_records);
    }

    void finish() {
        if (active()) m_recorder->decode_rows(m_layout.mcu_rows, m_records);
    }

    // The records when the whole level was followed; empty otherwise.
    std::vector<ResumeRecord> take_records() {
        if (!active() || !m_recorder->finished() ||
            m_records.size() != m_recorder->expected_records())
            return {};
        return std::move(m_records);
    }

private:
    uint64_t m_origin = 0;
    JpegLayout m_layout;
    std::unique_ptr<ByteSource> m_source;
    std::optional<ScanRecorder> m_recorder;
    std::vector<ResumeRecord> m_records;
};

void average_rows(const uint8_t* even, const uint8_t* odd, uint8_t* out, int out_width) {
    for (int j = 0; j < out_width; ++j) {
        const uint8_t* a = even + 6 * j;
        const uint8_t* b = odd + 6 * j;
        for (int c = 0; c < 3; ++c)
            out[3 * j + c] = static_cast<uint8_t>((a[c] + a[c + 3] + b[c] + b[c + 3] + 2) >> 2);
    }
}

}  // namespace

bool half_pass(InputStream& input, uint64_t input_size, OutputStream& output,
               const StopTest& stop, std::vector<ResumeRecord>* records, RecordingMode mode) {
    if (records) records->clear();
    std::optional<LevelRecorder> recorder;
    if (records) recorder.emplace(input, input_size);
    JpegReader reader(input, input_size);
    if (!reader.ok()) return false;
    if (recorder && !recorder->agrees_with(reader)) recorder->stop();
    if (!reader.start(1, &stop)) return false;
    const int width = reader.output_width();
    const int height = reader.output_height();
    JpegWriter writer(output, width / 2, height / 2, kLevelQuality);
    if (!writer.ok()) return false;
    std::vector<uint8_t> even(3 * size_t(width)), odd(3 * size_t(width)), out(3 * size_t(width / 2));
    for (int row = 0; row < height / 2 * 2; ++row) {
        if (stop && stop()) return false;
        if (recorder && mode == RecordingMode::InStep) recorder->follow_row(row);
        if (!reader.read_row(row % 2 ? odd.data() : even.data()) || reader.data_damaged())
            return false;
        if (row % 2 == 0) continue;
        average_rows(even.data(), odd.data(), out.data(), width / 2);
        if (!writer.write_row(out.data())) return false;
    }
    if (!writer.finish()) return false;
    if (recorder) {
        recorder->finish();
        *records = recorder->take_records();
    }
    return true;
}

std::vector<ResumeRecord> record_level(InputStream& input, uint64_t input_size) {
    LevelRecorder recorder(input, input_size);
    recorder.finish();
    return recorder.take_records();
}

}  // namespace vistrel
