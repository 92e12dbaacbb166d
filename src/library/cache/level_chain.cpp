#include "library/cache/level_chain.h"

#include <algorithm>
#include <cstring>

#include "render/vector_clones.h"

namespace vistrel {

struct LevelChain::Stage {
    Stage(OutputStream& output, int in_width, int in_height, int quality)
        : width(in_width / 2),
          height(in_height / 2),
          writer(output, width, height, quality),
          held(3 * size_t(in_width)),
          out(3 * size_t(width)) {}

    int width;  // of the level this stage makes
    int height;
    JpegWriter writer;
    std::vector<uint8_t> held;  // the even row, waiting for its odd partner
    std::vector<uint8_t> out;
    bool holding = false;
    int rows_written = 0;  // of a level given whole (a half-scale decode's)
};

namespace {

// The means of every pair of neighbouring pixels' channel sums, one byte per channel
// position: mean[i] = (sum[i] + sum[i + 3] + 2) >> 2 for each i of a chunk. Only the
// first three of every six are wanted; working on all of them keeps the loop plain, so
// the compiler vectorises it.
VISTREL_VECTOR_CLONES void pair_means(const uint8_t* a, const uint8_t* b, uint8_t* mean, int count) {
    for (int i = 0; i < count; ++i) {
        const uint16_t sum = uint16_t(uint16_t(a[i]) + b[i] + a[i + 3] + b[i + 3] + 2);
        mean[i] = static_cast<uint8_t>(sum >> 2);
    }
}

}  // namespace

void average_rows(const uint8_t* even, const uint8_t* odd, uint8_t* out, int out_width) {
    constexpr int kChunk = 256;  // pixels out per chunk
    uint8_t means[6 * kChunk];
    for (int start = 0; start < out_width; start += kChunk) {
        const int n = std::min(kChunk, out_width - start);
        // The last pair's sums reach 3 bytes past its own start, never past the row.
        pair_means(even + 6 * size_t(start), odd + 6 * size_t(start), means, 6 * n - 3);
        uint8_t* o = out + 3 * size_t(start);
        // Four bytes at a time, the fourth overwritten by the next pixel; the last pixel
        // of the chunk by itself, so nothing is written past it.
        for (int j = 0; j + 1 < n; ++j)
            std::memcpy(o + 3 * j, means + 6 * j, 4);
        std::memcpy(o + 3 * (n - 1), means + 6 * (n - 1), 3);
    }
}

LevelChain::LevelChain(int width, int height, const std::vector<OutputStream*>& outputs,
                       int quality, std::shared_ptr<const ColourTransform> colours,
                       FullCopy full, ChainRows rows)
    : m_colours(colours && colours->input() == PixelLayout::Rgb8 ? std::move(colours) : nullptr),
      m_rows(rows) {
    if (rows == ChainRows::HalfScale && (full.output || outputs.empty())) {
        m_ok = false;  // half-scale rows make neither a full-size copy nor nothing at all
        return;
    }
    if (full.output) {
        m_full = std::make_unique<JpegWriter>(*full.output, width, height, full.quality);
        if (!m_full->ok()) {
            m_ok = false;
            return;
        }
    }
    for (OutputStream* output : outputs) {
        if (width / 2 < 1 || height / 2 < 1) {
            m_ok = false;
            return;
        }
        m_stages.push_back(std::make_unique<Stage>(*output, width, height, quality));
        if (!m_stages.back()->writer.ok()) {
            m_ok = false;
            return;
        }
        width /= 2;
        height /= 2;
    }
}

LevelChain::~LevelChain() = default;

bool LevelChain::add_row(const uint8_t* rgb) {
    if (m_rows == ChainRows::HalfScale) return m_ok && add_level_row(rgb);
    if (m_ok && m_full && !m_full->write_row(rgb)) m_ok = false;
    return m_ok && (m_stages.empty() || add_row(0, rgb));
}

bool LevelChain::add_level_row(const uint8_t* rgb) {
    Stage& stage = *m_stages.front();
    // An odd picture's last half-scale row is half a row of the picture: dropped, as the
    // halving drops an odd last row. The writer reads the first `width` pixels only.
    if (stage.rows_written == stage.height) return true;
    ++stage.rows_written;
    if (m_colours) {
        m_colours->convert(rgb, stage.out.data(), size_t(stage.width));
        rgb = stage.out.data();
    }
    if (!stage.writer.write_row(rgb)) return m_ok = false;
    return m_stages.size() == 1 || add_row(1, rgb);
}

bool LevelChain::add_row(size_t index, const uint8_t* rgb) {
    Stage& stage = *m_stages[index];
    if (!stage.holding) {
        std::copy_n(rgb, stage.held.size(), stage.held.begin());
        stage.holding = true;
        return true;
    }
    stage.holding = false;
    average_rows(stage.held.data(), rgb, stage.out.data(), stage.width);
    if (index == 0 && m_colours)
        m_colours->convert(stage.out.data(), stage.out.data(), size_t(stage.width));
    if (!stage.writer.write_row(stage.out.data())) return m_ok = false;
    return index + 1 == m_stages.size() || add_row(index + 1, stage.out.data());
}

bool LevelChain::finish() {
    if (m_full && !m_full->finish()) m_ok = false;
    for (auto& stage : m_stages)
        if (!stage->writer.finish()) m_ok = false;
    return m_ok;
}

}  // namespace vistrel
