#include "library/cache/level_chain.h"

#include <algorithm>

namespace vistrel {

struct LevelChain::Stage {
    Stage(OutputStream& output, int in_width, int in_height, int quality)
        : width(in_width / 2),
          writer(output, width, in_height / 2, quality),
          held(3 * size_t(in_width)),
          out(3 * size_t(width)) {}

    int width;  // of the level this stage makes
    JpegWriter writer;
    std::vector<uint8_t> held;  // the even row, waiting for its odd partner
    std::vector<uint8_t> out;
    bool holding = false;
};

void average_rows(const uint8_t* even, const uint8_t* odd, uint8_t* out, int out_width) {
    // Column sums first (a loop the compiler vectorises), then the pairs of pixels.
    constexpr int kChunk = 256;
    uint16_t sums[6 * kChunk];
    for (int start = 0; start < out_width; start += kChunk) {
        const int n = std::min(kChunk, out_width - start);
        const uint8_t* a = even + 6 * size_t(start);
        const uint8_t* b = odd + 6 * size_t(start);
        for (int i = 0; i < 6 * n; ++i)
            sums[i] = static_cast<uint16_t>(a[i] + b[i]);
        uint8_t* o = out + 3 * size_t(start);
        for (int j = 0; j < n; ++j) {
            o[3 * j] = static_cast<uint8_t>((sums[6 * j] + sums[6 * j + 3] + 2) >> 2);
            o[3 * j + 1] = static_cast<uint8_t>((sums[6 * j + 1] + sums[6 * j + 4] + 2) >> 2);
            o[3 * j + 2] = static_cast<uint8_t>((sums[6 * j + 2] + sums[6 * j + 5] + 2) >> 2);
        }
    }
}

LevelChain::LevelChain(int width, int height, const std::vector<OutputStream*>& outputs,
                       int quality) {
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
    return m_ok && (m_stages.empty() || add_row(0, rgb));
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
    if (!stage.writer.write_row(stage.out.data())) return m_ok = false;
    return index + 1 == m_stages.size() || add_row(index + 1, stage.out.data());
}

bool LevelChain::finish() {
    for (auto& stage : m_stages)
        if (!stage->writer.finish()) m_ok = false;
    return m_ok;
}

}  // namespace vistrel
