#include "library/jpeg/jpeg_layout.h"

#include "platform/buffered_input.h"

namespace vistrel {

namespace {

// Marker codes (the byte after 0xFF).
constexpr uint8_t kSof0 = 0xC0, kSof1 = 0xC1, kSof15 = 0xCF;
constexpr uint8_t kDht = 0xC4, kJpg = 0xC8, kDac = 0xCC;
constexpr uint8_t kRst0 = 0xD0, kRst7 = 0xD7;
constexpr uint8_t kSoi = 0xD8, kEoi = 0xD9, kSos = 0xDA, kDqt = 0xDB, kDri = 0xDD;
constexpr uint8_t kTem = 0x01;

class LayoutParser {
public:
    explicit LayoutParser(InputStream& stream) : m_in(stream) {}

    JpegLayout parse();

private:
    // The next marker code, passing over anything that is not one, as decoders do.
    bool next_marker(uint8_t& code);
    bool read_segment(std::vector<uint8_t>& body);
    LayoutStatus frame(const std::vector<uint8_t>& body, uint8_t code);
    LayoutStatus huffman_tables(const std::vector<uint8_t>& body);
    LayoutStatus quant_tables(const std::vector<uint8_t>& body);
    LayoutStatus restart_interval(const std::vector<uint8_t>& body);
    LayoutStatus scan(const std::vector<uint8_t>& body);
    LayoutStatus geometry();

    BufferedInput m_in;
    JpegLayout m_layout;
    bool m_have_frame = false;
    bool m_unsupported = false;  // seen something we do not follow; keep reading for damage
};

bool LayoutParser::next_marker(uint8_t& code) {
    uint8_t c = 0;
    for (;;) {
        if (!m_in.read_byte(c)) return false;
        if (c != 0xFF) continue;
        do {
            if (!m_in.read_byte(c)) return false;
        } while (c == 0xFF);
        if (c != 0) {
            code = c;
            return true;
        }
    }
}

bool LayoutParser::read_segment(std::vector<uint8_t>& body) {
    uint16_t length = 0;
    if (!m_in.read_u16(length) || length < 2) return false;
    body.resize(length - 2);
    return m_in.read(body.data(), body.size()) == body.size();
}

LayoutStatus LayoutParser::frame(const std::vector<uint8_t>& body, uint8_t code) {
    if (m_have_frame || body.size() < 6) return LayoutStatus::Damaged;
    m_have_frame = true;
    const int precision = body[0];
    m_layout.height = body[1] << 8 | body[2];
    m_layout.width = body[3] << 8 | body[4];
    const int count = body[5];
    if (m_layout.width == 0 || m_layout.height == 0 || count == 0 ||
        body.size() < 6 + 3 * size_t(count))
        return LayoutStatus::Damaged;
    for (int i = 0; i < count; ++i) {
        LayoutComponent c;
        c.id = body[6 + 3 * i];
        c.h = body[7 + 3 * i] >> 4;
        c.v = body[7 + 3 * i] & 15;
        c.quant_table = body[8 + 3 * i];
        if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4 || c.quant_table > 3)
            return LayoutStatus::Damaged;
        for (const auto& other : m_layout.components)
            if (other.id == c.id) return LayoutStatus::Damaged;
        m_layout.components.push_back(c);
    }
    if ((code != kSof0 && code != kSof1) || precision != 8) m_unsupported = true;
    return LayoutStatus::Ok;
}

LayoutStatus LayoutParser::huffman_tables(const std::vector<uint8_t>& body) {
    size_t at = 0;
    while (at < body.size()) {
        const int kind = body[at] >> 4;
        const int index = body[at] & 15;
        if (kind > 1 || index > 3 || body.size() - at < 17) return LayoutStatus::Damaged;
        HuffmanCodes codes;
        int total = 0;
        for (int l = 1; l <= 16; ++l) {
            codes.counts[l] = body[at + l];
            total += codes.counts[l];
        }
        at += 17;
        if (total > 256 || body.size() - at < size_t(total)) return LayoutStatus::Damaged;
        for (int i = 0; i < total; ++i)
            codes.symbols[i] = body[at + i];
        at += total;
        codes.symbol_count = total;
        codes.defined = true;
        (kind == 0 ? m_layout.dc_tables : m_layout.ac_tables)[index] = codes;
    }
    return LayoutStatus::Ok;
}

LayoutStatus LayoutParser::quant_tables(const std::vector<uint8_t>& body) {
    size_t at = 0;
    while (at < body.size()) {
        const int precision = body[at] >> 4;
        const int index = body[at] & 15;
        const size_t size = precision ? 128 : 64;
        if (precision > 1 || index > 3 || body.size() - at - 1 < size) return LayoutStatus::Damaged;
        ++at;
        QuantTable& table = m_layout.quant_tables[index];
        for (int i = 0; i < 64; ++i)
            table.values[i] =
                precision ? uint16_t(body[at + 2 * i] << 8 | body[at + 2 * i + 1]) : body[at + i];
        table.defined = true;
        at += size;
    }
    return LayoutStatus::Ok;
}

LayoutStatus LayoutParser::restart_interval(const std::vector<uint8_t>& body) {
    if (body.size() != 2) return LayoutStatus::Damaged;
    m_layout.restart_interval = body[0] << 8 | body[1];
    return LayoutStatus::Ok;
}

LayoutStatus LayoutParser::scan(const std::vector<uint8_t>& body) {
    if (!m_have_frame || body.empty()) return LayoutStatus::Damaged;
    const size_t count = body[0];
    if (count < 1 || count > 4 || body.size() != 1 + 2 * count + 3) return LayoutStatus::Damaged;
    auto& components = m_layout.components;
    // The first scan must hold every component of the frame, in frame order.
    if (count != components.size()) m_unsupported = true;
    for (size_t i = 0; i < count && i < components.size(); ++i) {
        const int id = body[1 + 2 * i];
        const int dc = body[2 + 2 * i] >> 4;
        const int ac = body[2 + 2 * i] & 15;
        if (dc > 3 || ac > 3) return LayoutStatus::Damaged;
        if (components[i].id != id) {
            m_unsupported = true;
            continue;
        }
        components[i].dc_table = dc;
        components[i].ac_table = ac;
        if (!m_layout.dc_tables[dc].defined || !m_layout.ac_tables[ac].defined)
            m_unsupported = true;
    }
    const size_t tail = 1 + 2 * count;
    const int start = body[tail], end = body[tail + 1], approximation = body[tail + 2];
    if (start != 0 || end != 63 || approximation != 0) m_unsupported = true;
    return LayoutStatus::Ok;
}

// Our decoder follows one or three components with the usual sampling: luminance 1 x 1,
// 2 x 1, 1 x 2 or 2 x 2 and the two chrominance components 1 x 1.
LayoutStatus LayoutParser::geometry() {
    auto& components = m_layout.components;
    m_layout.block_components.clear();
    if (components.size() == 1) {
        // A single component is never interleaved: its MCU is one block.
        m_layout.mcu_width = m_layout.mcu_height = 8;
        m_layout.block_components.push_back(0);
    } else if (components.size() == 3) {
        const auto& y = components[0];
        for (size_t i = 1; i < 3; ++i)
            if (components[i].h != 1 || components[i].v != 1) return LayoutStatus::Unsupported;
        if (y.h > 2 || y.v > 2) return LayoutStatus::Unsupported;
        m_layout.mcu_width = 8 * y.h;
        m_layout.mcu_height = 8 * y.v;
        for (int b = 0; b < y.h * y.v; ++b)
            m_layout.block_components.push_back(0);
        m_layout.block_components.push_back(1);
        m_layout.block_components.push_back(2);
    } else {
        return LayoutStatus::Unsupported;
    }
    m_layout.mcus_per_row = (m_layout.width + m_layout.mcu_width - 1) / m_layout.mcu_width;
    m_layout.mcu_rows = (m_layout.height + m_layout.mcu_height - 1) / m_layout.mcu_height;
    return LayoutStatus::Ok;
}

JpegLayout LayoutParser::parse() {
    uint8_t soi[2];
    if (m_in.read(soi, 2) != 2 || soi[0] != 0xFF || soi[1] != kSoi) return m_layout;
    std::vector<uint8_t> body;
    for (;;) {
        uint8_t code = 0;
        if (!next_marker(code)) return m_layout;
        if (code == kTem || (code >= kRst0 && code <= kRst7)) continue;  // no segment
        if (code == kSoi || code == kEoi) return m_layout;
        if (!read_segment(body)) return m_layout;
        LayoutStatus status = LayoutStatus::Ok;
        if (code >= kSof0 && code <= kSof15 && code != kDht && code != kJpg && code != kDac)
            status = frame(body, code);
        else if (code == kDht)
            status = huffman_tables(body);
        else if (code == kDqt)
            status = quant_tables(body);
        else if (code == kDri)
            status = restart_interval(body);
        else if (code == kDac)
            m_unsupported = true;
        if (status == LayoutStatus::Ok && code == kSos) status = scan(body);
        if (status != LayoutStatus::Ok) return m_layout;
        if (code != kSos) continue;
        m_layout.data_offset = m_in.consumed();
        m_layout.status = m_unsupported ? LayoutStatus::Unsupported : geometry();
        return m_layout;
    }
}

}  // namespace

JpegLayout read_jpeg_layout(InputStream& stream) {
    return LayoutParser(stream).parse();
}

}  // namespace vistrel
