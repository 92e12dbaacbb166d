#include "skin/font_description.h"

#include <cstdint>
#include <limits>

#include "language/language_table.h"

namespace vistrel {
namespace {

// Reads one integer at `i`; false (with `i` unchanged) when there is none.
bool read_integer(std::u16string_view text, size_t& i, int& out) {
    size_t p = i;
    while (p < text.size() && is_language_space(text[p]))
        ++p;
    bool negative = false;
    if (p < text.size() && (text[p] == u'+' || text[p] == u'-')) negative = text[p++] == u'-';
    const size_t digits = p;
    int64_t value = 0;
    while (p < text.size() && text[p] >= u'0' && text[p] <= u'9') {
        value = value * 10 + (text[p] - u'0');
        if (value > std::numeric_limits<int>::max()) value = std::numeric_limits<int>::max();
        ++p;
    }
    if (p == digits) return false;
    out = static_cast<int>(negative ? -value : value);
    i = p;
    return true;
}

}  // namespace

void parse_font_description(std::u16string_view text, FontDescription& out) {
    size_t i = 0;
    int value = 0;
    if (!read_integer(text, i, value)) return;
    out.size = value;
    if (!read_integer(text, i, value)) return;
    out.bold = value != 0;
    if (!read_integer(text, i, value)) return;
    out.italic = value != 0;
    if (!read_integer(text, i, value)) return;
    out.underline = value != 0;
    if (i >= text.size() || !is_language_space(text[i])) return;
    while (i < text.size() && is_language_space(text[i]))
        ++i;
    if (i < text.size()) out.face = std::u16string(text.substr(i));
}

int font_height(const FontDescription& description) {
    const int64_t h = int64_t(description.size) * description.scale * -96 / 72;
    if (h < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    if (h > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    return static_cast<int>(h);
}

}  // namespace vistrel
