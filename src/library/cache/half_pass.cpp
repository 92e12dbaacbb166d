#include "library/cache/half_pass.h"

#include <memory>
#include <optional>

#include "library/cache/level_pipeline.h"
#include "library/jpeg/byte_source.h"
#include "library/jpeg/jpeg_layout.h"
#include "library/jpeg/scan_recorder.h"

namespace vistrel {

namespace {

// Our decoder following one picture, over bytes of its own.
class PictureRecorder final : public McuSource {
public:
    // Reads the layout from the stream's position and leaves the stream where it was.
    PictureRecorder(InputStream& input, uint64_t input_size) {
        const uint64_t origin = input.position();
        m_layout = read_jpeg_layout(input);
        input.seek(origin);
        if (!m_layout.ok()) return;
        const uint64_t start = origin + m_layout.data_offset;
        const uint64_t end = origin + input_size;
        if (auto* memory = dynamic_cast<MemoryStream*>(&input))
            m_source = std::make_unique<SpanSource>(
                memory->bytes().data(),
                static_cast<size_t>(std::min<uint64_t>(end, memory->bytes().size())),
                static_cast<size_t>(start));
        else
            m_source = std::make_unique<StreamSource>(input, start);
        m_recorder.emplace(m_layout, *m_source, start, end);
    }

    bool active() const { return m_recorder && m_recorder->ok(); }
    void stop() { m_recorder.reset(); }

    // Whether libjpeg read the same picture as our parser.
    bool agrees_with(const JpegReader& reader) const {
        return active() && layout_matches(m_layout, reader);
    }

    // libjpeg clears the blocks before it asks for an MCU, as its own decoder expects.
    bool decode_mcu(int16_t* const* blocks) override {
        return active() && m_recorder->decode_next(blocks, m_records, true);
    }

    // Passes over whatever is left of the scan.
    void finish() {
        if (active()) m_recorder->decode_rows(m_layout.mcu_rows, m_records);
    }

    // The records when the whole picture was followed; empty otherwise. Of a picture cut
    // short, those of the MCU rows it holds whole.
    std::vector<ResumeRecord> take_records(bool cut_short) {
        if (cut_short && m_recorder && m_recorder->rows_done() > 0 &&
            m_recorder->rows_done() < m_recorder->mcu_rows()) {
            const size_t rows = size_t(m_recorder->rows_done());
            m_records.resize(std::min(m_records.size(),
                                      m_recorder->expected_records() / size_t(m_recorder->mcu_rows()) * rows));
            return std::move(m_records);
        }
        if (!active() || !m_recorder->finished() ||
            m_records.size() != m_recorder->expected_records())
            return {};
        return std::move(m_records);
    }

private:
    JpegLayout m_layout;
    std::unique_ptr<ByteSource> m_source;
    std::optional<ScanRecorder> m_recorder;
    std::vector<ResumeRecord> m_records;
};

}  // namespace

bool decode_levels(InputStream& input, uint64_t input_size,
                   const std::vector<OutputStream*>& levels, const StopTest& stop,
                   std::vector<ResumeRecord>* records, RecordingMode mode, bool* damaged) {
    if (records) records->clear();
    if (damaged) *damaged = false;
    std::optional<PictureRecorder> recorder;
    if (records) recorder.emplace(input, input_size);
    JpegReader reader(input, input_size);
    if (!reader.ok()) return false;
    if (recorder && !recorder->agrees_with(reader)) recorder->stop();
    // RGB rows are converted into sRGB once halved, by the levels' own thread.
    std::shared_ptr<const ColourTransform> colours;
    if (!levels.empty()) colours = reader.take_rgb_transform();
    // Level 1 comes straight from a decode at half scale: libjpeg's scaled inverse DCT
    // makes it from the same coefficients for a fraction of the work of a full-size decode
    // and its 2 x 2 means.
    const ChainRows given = levels.empty() ? ChainRows::FullSize : ChainRows::HalfScale;
    if (!reader.start(given == ChainRows::HalfScale ? 2 : 1, &stop)) return false;
    const bool in_step = recorder && recorder->active() && mode == RecordingMode::InStep &&
                         reader.take_mcus_from(*recorder);
    const int height = reader.output_height();
    if (reader.output_width() != chain_row_width(reader.width(), given) ||
        height != chain_row_count(reader.height(), given))
        return false;
    LevelPipeline levels_out(reader.width(), reader.height(), levels, kLevelQuality,
                             std::move(colours), {}, given);
    if (!levels_out.ok()) return false;
    for (int y = 0; y < height; ++y) {
        if (stop && stop()) return false;
        if (!reader.read_row(levels_out.next_row())) return false;
        if (!levels_out.commit_row()) return false;
    }
    if (!levels_out.finish() || !reader.holds_image_data()) return false;
    if (damaged) *damaged = reader.data_damaged();
    if (recorder && !reader.data_damaged()) {
        if (!in_step) recorder->finish();
        *records = recorder->take_records(reader.cut_short());
    }
    return true;
}

bool half_pass(InputStream& input, uint64_t input_size, OutputStream& output, const StopTest& stop,
               std::vector<ResumeRecord>* records, RecordingMode mode) {
    return decode_levels(input, input_size, {&output}, stop, records, mode);
}

std::vector<ResumeRecord> record_level(InputStream& input, uint64_t input_size) {
    PictureRecorder recorder(input, input_size);
    recorder.finish();
    return recorder.take_records(false);
}

}  // namespace vistrel
