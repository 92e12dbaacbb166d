#include "platform/text.h"

namespace vistrel {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// The reserved code point of a byte that is not UTF-8.
char16_t raw_byte(unsigned char byte) {
    return static_cast<char16_t>(kRawByteBase + byte);
}

bool is_raw_byte(char16_t c) {
    return (c >= kRawByteBase + 0x80 && c <= kRawByteBase + 0xFF) || c == kRawBackslash;
}

void append_utf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

void append_utf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

// Case pairs of one alphabet block: upper-case range start, count, offset to lower case,
// and whether the block alternates (upper at even, lower at odd code points).
struct CaseBlock {
    char16_t first;
    char16_t last;
    int offset;
    bool alternating;
};

constexpr CaseBlock kCaseBlocks[] = {
    {u'A', u'Z', 32, false},     {0x00C0, 0x00D6, 32, false}, {0x00D8, 0x00DE, 32, false},
    {0x0100, 0x012F, 1, true},   {0x0132, 0x0137, 1, true},   {0x014A, 0x0177, 1, true},
    {0x0391, 0x03A1, 32, false}, {0x03A3, 0x03AB, 32, false}, {0x0400, 0x040F, 80, false},
    {0x0410, 0x042F, 32, false}, {0x0460, 0x0481, 1, true},   {0x048A, 0x04BF, 1, true},
};

}  // namespace

std::string to_utf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (is_raw_byte(text[i])) {
            out.push_back(static_cast<char>(text[i] - kRawByteBase));
            continue;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        append_utf8(out, c);
    }
    return out;
}

std::u16string from_utf8(std::string_view text, bool* ok) {
    std::u16string out;
    out.reserve(text.size());
    bool good = true;
    size_t i = 0;
    while (i < text.size()) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        int extra = 0;
        char32_t cp = 0;
        char32_t minimum = 0;
        if (b0 < 0x80) {
            out.push_back(b0);
            ++i;
            continue;
        } else if ((b0 & 0xE0) == 0xC0) {
            extra = 1, cp = b0 & 0x1F, minimum = 0x80;
        } else if ((b0 & 0xF0) == 0xE0) {
            extra = 2, cp = b0 & 0x0F, minimum = 0x800;
        } else if ((b0 & 0xF8) == 0xF0) {
            extra = 3, cp = b0 & 0x07, minimum = 0x10000;
        } else {
            good = false;
            out.push_back(raw_byte(b0));
            ++i;
            continue;
        }
        size_t j = 1;
        for (; j <= static_cast<size_t>(extra); ++j) {
            if (i + j >= text.size()) break;
            const auto b = static_cast<unsigned char>(text[i + j]);
            if ((b & 0xC0) != 0x80) break;
            cp = (cp << 6) | (b & 0x3F);
        }
        if (j <= static_cast<size_t>(extra) || cp < minimum || cp > 0x10FFFF ||
            (cp >= 0xD800 && cp <= 0xDFFF)) {
            // Only the first byte is taken as raw; the rest are read again on their own.
            good = false;
            out.push_back(raw_byte(b0));
            ++i;
            continue;
        }
        append_utf16(out, cp);
        i += j;
    }
    if (ok) *ok = good;
    return out;
}

std::u16string from_file_name(std::string_view name) {
    std::u16string out = from_utf8(name);
    for (char16_t& c : out)
        if (c == u'\\') c = kRawBackslash;
    return out;
}

std::u16string readable_name(std::u16string_view name) {
    std::u16string out(name);
    for (char16_t& c : out)
        if (is_raw_byte(c)) c = static_cast<char16_t>(c - kRawByteBase);
    return out;
}

std::u16string widen(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (char c : text)
        out.push_back(static_cast<char16_t>(static_cast<int16_t>(static_cast<signed char>(c))));
    return out;
}

char16_t to_lower(char16_t c) {
    for (const auto& block : kCaseBlocks) {
        if (c < block.first || c > block.last) continue;
        if (block.alternating) return ((c - block.first) % 2 == 0) ? c + 1 : c;
        return static_cast<char16_t>(c + block.offset);
    }
    return c;
}

char16_t to_upper(char16_t c) {
    for (const auto& block : kCaseBlocks) {
        if (block.alternating) {
            if (c > block.first && c <= block.last && (c - block.first) % 2 == 1) return c - 1;
            continue;
        }
        const int lower_first = block.first + block.offset;
        const int lower_last = block.last + block.offset;
        if (c >= lower_first && c <= lower_last) return static_cast<char16_t>(c - block.offset);
    }
    return c;
}

std::u16string to_lower(std::u16string_view text) {
    std::u16string out(text);
    for (auto& c : out)
        c = to_lower(c);
    return out;
}

std::u16string to_upper(std::u16string_view text) {
    std::u16string out(text);
    for (auto& c : out)
        c = to_upper(c);
    return out;
}

std::u16string to_u16(std::int64_t value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

}  // namespace vistrel
