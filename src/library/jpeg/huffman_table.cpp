#include "library/jpeg/huffman_table.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

namespace vistrel {

namespace {

// The fast entry for a code of `length` bits followed by the `spare` bits `rest`.
int16_t coefficient_entry(uint32_t rest, int spare, int length, uint8_t symbol, bool is_dc) {
    const int run = is_dc ? 0 : symbol >> 4, size = is_dc ? symbol : symbol & 15;
    if (size == 0)
        return (is_dc || run == 0 || run == 15) ? static_cast<int16_t>(run << 4 | length) : 0;
    if (size > spare || size > 7) return 0;
    const int bits = int(rest >> (spare - size));
    const int value = bits < (1 << (size - 1)) ? bits - (1 << size) + 1 : bits;
    return static_cast<int16_t>(value * 256 + (run << 4) + length + size);
}

}  // namespace

bool HuffmanTable::build(const HuffmanCodes& codes, bool is_dc) {
    if (!codes.defined) return false;
    m_look.fill(0);
    m_coefficient.fill(0);
    m_symbols = codes.symbols;
    int32_t code = 0;
    int index = 0;
    for (int length = 1; length <= 16; ++length) {
        const int count = codes.counts[length];
        m_offset[length] = index - code;
        for (int i = 0; i < count; ++i, ++index, ++code) {
            // The codes of one length must fit in that many bits, leaving the all-ones code
            // free; a table that breaks this is refused before any code is used.
            if (index >= codes.symbol_count || code >= (int32_t(1) << length) - 1) return false;
            const uint8_t symbol = codes.symbols[index];
            if (is_dc && symbol > 15) return false;
            if (length > kLookBits) continue;
            // Every look-up value that starts with this code.
            const int spare = kLookBits - length;
            const uint32_t first = uint32_t(code) << spare;
            for (uint32_t fill = 0; fill < (1u << spare); ++fill) {
                m_look[first | fill] = static_cast<uint16_t>(length << 8 | symbol);
                m_coefficient[first | fill] = coefficient_entry(fill, spare, length, symbol, is_dc);
            }
        }
        m_max_code[length] = count ? code - 1 : -1;
        code <<= 1;
    }
    m_max_code[17] = 0x7FFFFFFF;  // stops the search for longer codes
    m_skip.fill(0);
    m_codes = codes;
    m_is_dc = is_dc;
    m_skip_ready = is_dc;
    return true;
}

namespace {

// Skip look-ups made before, by the codes they were made for. The levels of every cache
// file are written with the same standard tables, so most are made once per process.
class SkipLookups {
public:
    using Lookup = std::array<uint16_t, 1 << HuffmanTable::kSkipBits>;

    bool find(const HuffmanCodes& codes, Lookup& out) {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const Entry& entry : m_entries)
            if (same(entry.codes, codes)) {
                out = *entry.lookup;
                return true;
            }
        return false;
    }

    void keep(const HuffmanCodes& codes, const Lookup& lookup) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_entries.size() == kKept) m_entries.erase(m_entries.begin());
        m_entries.push_back({codes, std::make_unique<Lookup>(lookup)});
    }

private:
    static constexpr size_t kKept = 8;
    struct Entry {
        HuffmanCodes codes;
        std::unique_ptr<Lookup> lookup;
    };
    static bool same(const HuffmanCodes& a, const HuffmanCodes& b) {
        return a.counts == b.counts && a.symbol_count == b.symbol_count &&
               std::equal(a.symbols.begin(), a.symbols.begin() + a.symbol_count,
                          b.symbols.begin());
    }

    std::mutex m_mutex;
    std::vector<Entry> m_entries;
};

SkipLookups& skip_lookups() {
    static SkipLookups lookups;
    return lookups;
}

}  // namespace

void HuffmanTable::prepare_skip() {
    if (m_skip_ready) return;
    if (!skip_lookups().find(m_codes, m_skip)) {
        build_skip();
        skip_lookups().keep(m_codes, m_skip);
    }
    m_skip_ready = true;
}

int HuffmanTable::code_length_in(uint32_t bits, int used, int& symbol) const {
    const int available = kSkipBits - used;
    // Codes up to kLookBits long: the look-up of the remaining bits, padded with zeros.
    const uint32_t remaining = bits & ((1u << available) - 1);
    const uint32_t window = available >= kLookBits ? remaining >> (available - kLookBits)
                                                   : remaining << (kLookBits - available);
    const uint16_t entry = m_look[window];
    if (entry >> 8) {
        if ((entry >> 8) > available) return 0;
        symbol = entry & 0xFF;
        return entry >> 8;
    }
    for (int length = kLookBits + 1; length <= available; ++length) {
        const int32_t code = int32_t(bits >> (kSkipBits - used - length)) & ((1 << length) - 1);
        if (code <= m_max_code[length]) {
            symbol = symbol_at(code, length);
            return length;
        }
    }
    return 0;
}

void HuffmanTable::build_skip() {
    for (uint32_t bits = 0; bits < (1u << kSkipBits); ++bits) {
        int used = 0, advance = 0;
        bool ends = false;
        while (!ends) {
            int symbol = 0;
            const int length = code_length_in(bits, used, symbol);
            if (length == 0) break;
            const int run = symbol >> 4, size = symbol & 15;
            if (used + length + size > kSkipBits) break;
            const int step = size ? run + 1 : (run == 15 ? 16 : 0);
            if (step == 0) {
                ends = true;
            } else if (advance + step > 63) {
                break;
            }
            used += length + size;
            advance += step;
        }
        m_skip[bits] = static_cast<uint16_t>(used | advance << 4 | (ends ? 1 << 11 : 0));
    }
}

}  // namespace vistrel
