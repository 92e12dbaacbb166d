#include "library/jpeg/region_decoder.h"

#include <algorithm>

#include "library/jpeg/bit_reader.h"
#include "library/jpeg/byte_source.h"
#include "library/jpeg/colour_conversion.h"

namespace vistrel {

namespace {

// Read with the bytes an MCU row needs, in case its last MCU runs past the next record
// (the decoder reads on in 4096-byte chunks should even this not suffice).
constexpr size_t kReadMargin = 512;
// The most read at once: far more than the MCUs of one tile row take, so that records
// that are damaged but inside the level cannot make us hold much.
constexpr size_t kMaxFirstRead = size_t(64) << 10;

}  // namespace

bool RegionDecoder::init(const JpegLayout& layout) {
    m_layout = nullptr;
    if (!layout.ok() || !m_entropy.init(layout)) return false;
    const size_t components = layout.components.size();
    m_idct.assign(components, FastIdct{});
    for (size_t c = 0; c < components; ++c) {
        const QuantTable& table = layout.quant_tables[layout.components[c].quant_table];
        if (!table.defined) return false;
        m_idct[c].set_table(table);
    }
    m_h = layout.mcu_width / 8;
    m_v = layout.mcu_height / 8;
    m_chroma_width = (layout.width + m_h - 1) / m_h;
    m_chroma_height = (layout.height + m_v - 1) / m_v;
    m_upsampler = ChromaUpsampler(m_h, m_v, m_chroma_width);
    m_blocks.assign(layout.block_components.size(), CoefficientBlock{});
    m_planes.assign(components, Plane{});
    m_layout = &layout;
    return true;
}

size_t RegionDecoder::held_bytes() const {
    size_t bytes = sizeof(*this) + m_idct.capacity() * sizeof(FastIdct) +
                   m_blocks.capacity() * sizeof(CoefficientBlock) + m_buffer.capacity() +
                   m_upsampled.capacity() + m_rgb.capacity() + m_upsampler.held_bytes();
    for (const Plane& plane : m_planes)
        bytes += sizeof(Plane) + plane.samples.capacity();
    return bytes;
}

RegionDecoder::McuSpan RegionDecoder::span_of(const Rect& region) const {
    const JpegLayout& layout = *m_layout;
    McuSpan span;
    span.luma_first_column = region.left / layout.mcu_width;
    span.luma_last_column = (region.right - 1) / layout.mcu_width;
    span.luma_first_row = region.top / layout.mcu_height;
    span.luma_last_row = (region.bottom - 1) / layout.mcu_height;
    span.first_column = span.luma_first_column;
    span.last_column = span.luma_last_column;
    span.first_row = span.luma_first_row;
    span.last_row = span.luma_last_row;
    if (layout.components.size() == 3) {
        // The chroma samples the filters reach, each 8 to an MCU.
        auto reach = [](int first, int last, int factor, int size, int& mcu_first, int& mcu_last) {
            const int from = factor == 2 ? std::max((first >> 1) - 1, 0) : first;
            const int to = factor == 2 ? std::min((last >> 1) + 1, size - 1) : last;
            mcu_first = std::min(mcu_first, from / 8);
            mcu_last = std::max(mcu_last, to / 8);
        };
        reach(region.left, region.right - 1, m_h, m_chroma_width, span.first_column,
              span.last_column);
        reach(region.top, region.bottom - 1, m_v, m_chroma_height, span.first_row, span.last_row);
    }
    return span;
}

void RegionDecoder::place_blocks(int mcu_column, int mcu_row, bool luma) {
    const JpegLayout& layout = *m_layout;
    for (int b = 0; b < static_cast<int>(m_blocks.size()); ++b) {
        const int component = layout.block_components[b];
        if (component == 0 && !luma) continue;
        Plane& plane = m_planes[component];
        int x = mcu_column * 8, y = mcu_row * 8;
        if (component == 0) {
            x = mcu_column * layout.mcu_width + (b % m_h) * 8;
            y = mcu_row * layout.mcu_height + (b / m_h) * 8;
        }
        uint8_t* out = plane.samples.data() + size_t(y - plane.row) * size_t(plane.width) +
                       size_t(x - plane.column);
        m_idct[component].transform(m_blocks[b].data(), out, plane.width);
    }
}

bool RegionDecoder::decode_row(const LevelRecords& records, const LevelBytes& level,
                               const McuSpan& span, int mcu_row) {
    const int step = records.step();
    const int record_column = span.first_column / step;
    const size_t index = size_t(mcu_row) * size_t(records.per_row()) + size_t(record_column);
    if (index >= records.count()) return false;
    const ResumeRecord record = records.at(index);
    const uint64_t data_start = level.start + m_layout->data_offset;
    const uint64_t position = level.end - record.bytes_to_end;
    if (position < data_start) return false;
    const size_t next = index + size_t(span.last_column / step - record_column) + 1;
    const uint64_t reach =
        next < records.count() ? level.end - records.at(next).bytes_to_end : level.end;
    const size_t first_chunk = static_cast<size_t>(
        std::min<uint64_t>(std::max(reach, position) - position + kReadMargin, kMaxFirstRead));

    const uint64_t look_back =
        position - std::min<uint64_t>(position - data_start, kBitBufferLookBack);
    WindowSource source(*level.stream, look_back, position, level.end, first_chunk, m_buffer);
    if (!source.read_first()) return false;
    BitReader reader(source, position);
    reader.resume(bit_buffer_before(source.look_back_begin(), source.look_back_end()),
                  record.bit_count, record.marker);
    m_entropy.set_state({record.dc, record.restarts_to_go, record.next_restart});

    // The luminance of the MCUs around the region is passed over: only their chroma is used.
    int16_t* all_blocks[EntropyDecoder::kMaxBlocksInMcu];
    int16_t* chroma_blocks[EntropyDecoder::kMaxBlocksInMcu];
    for (size_t b = 0; b < m_blocks.size(); ++b) {
        all_blocks[b] = m_blocks[b].data();
        chroma_blocks[b] = m_layout->block_components[b] == 0 ? nullptr : m_blocks[b].data();
    }
    const bool luma_row = mcu_row >= span.luma_first_row && mcu_row <= span.luma_last_row;
    for (int column = record_column * step; column <= span.last_column; ++column) {
        if (!m_entropy.begin_mcu(reader)) return false;
        if (column < span.first_column) {
            if (!m_entropy.skip_mcu(reader)) return false;
            continue;
        }
        const bool luma =
            luma_row && column >= span.luma_first_column && column <= span.luma_last_column;
        if (!m_entropy.decode_mcu(reader, luma ? all_blocks : chroma_blocks)) return false;
        place_blocks(column, mcu_row, luma);
    }
    return true;
}

// What libjpeg shows where a picture cut short has no data: every sample at the middle
// value, which is grey.
void RegionDecoder::fill_missing_row(const McuSpan& span, int mcu_row) {
    for (size_t c = 0; c < m_planes.size(); ++c) {
        Plane& plane = m_planes[c];
        const int height = c == 0 ? m_layout->mcu_height : 8;
        const size_t first = size_t(mcu_row - span.first_row) * size_t(height) * size_t(plane.width);
        std::fill_n(plane.samples.begin() + ptrdiff_t(first), size_t(height) * size_t(plane.width),
                    uint8_t(128));
    }
}

void RegionDecoder::set_colour_transform(std::shared_ptr<const ColourTransform> transform) {
    m_transform = std::move(transform);
}

void RegionDecoder::convert(const Rect& region, Pixel* out, int pitch) {
    const int width = region.right - region.left;
    const Plane& luma = m_planes[0];
    const bool colour = m_planes.size() == 3;
    if (colour) m_upsampled.resize(2 * size_t(width));
    // A transform for other pixels than the level's is not used.
    const PixelLayout expected = colour ? PixelLayout::Rgb8 : PixelLayout::Gray8;
    const ColourTransform* transform =
        m_transform && m_transform->input() == expected ? m_transform.get() : nullptr;
    if (transform) m_rgb.resize(3 * size_t(width));
    for (int y = region.top; y < region.bottom; ++y) {
        Pixel* row = reinterpret_cast<Pixel*>(reinterpret_cast<uint8_t*>(out) +
                                              ptrdiff_t(y - region.top) * pitch);
        const uint8_t* samples = luma.at(y) + (region.left - luma.column);
        if (!colour) {
            if (transform) {
                transform->convert(samples, m_rgb.data(), size_t(width));
                rgb_to_pixels(m_rgb.data(), row, width);
            } else {
                grey_to_pixels(samples, row, width);
            }
            continue;
        }
        const bool odd = m_v == 2 && (y & 1);
        const int near = m_v == 2 ? y >> 1 : y;
        const int far = m_v == 2 ? std::clamp(near + (odd ? 1 : -1), 0, m_chroma_height - 1) : near;
        uint8_t* chroma[2] = {m_upsampled.data(), m_upsampled.data() + width};
        for (int c = 0; c < 2; ++c) {
            const Plane& plane = m_planes[1 + c];
            m_upsampler.row(plane.at(near), plane.at(far), odd, plane.column, region.left, width,
                            chroma[c]);
        }
        if (transform) {
            ycc_to_rgb(samples, chroma[0], chroma[1], m_rgb.data(), width);
            transform->convert(m_rgb.data(), m_rgb.data(), size_t(width));
            rgb_to_pixels(m_rgb.data(), row, width);
        } else {
            ycc_to_pixels(samples, chroma[0], chroma[1], row, width);
        }
    }
}

bool RegionDecoder::decode(const LevelRecords& records, const LevelBytes& level, const Rect& region,
                           Pixel* out, int pitch) {
    if (!m_layout || !level.stream || records.empty() || region.empty() || region.left < 0 ||
        region.top < 0 || region.right > m_layout->width || region.bottom > m_layout->height ||
        level.end < level.start || level.end - level.start < m_layout->data_offset)
        return false;
    const McuSpan span = span_of(region);
    for (size_t c = 0; c < m_planes.size(); ++c) {
        const int mcu_width = c == 0 ? m_layout->mcu_width : 8;
        const int mcu_height = c == 0 ? m_layout->mcu_height : 8;
        Plane& plane = m_planes[c];
        plane.width = (span.last_column - span.first_column + 1) * mcu_width;
        plane.column = span.first_column * mcu_width;
        plane.row = span.first_row * mcu_height;
        plane.samples.resize(size_t(plane.width) *
                             size_t((span.last_row - span.first_row + 1) * mcu_height));
    }
    for (int row = span.first_row; row <= span.last_row; ++row) {
        if (row >= records.rows())
            fill_missing_row(span, row);
        else if (!decode_row(records, level, span, row))
            return false;
    }
    convert(region, out, pitch);
    return true;
}

}  // namespace vistrel
