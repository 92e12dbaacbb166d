#include "language/language_table.h"

#include <vector>

#include "platform/file_stream.h"
#include "platform/text.h"

namespace vistrel {

bool is_language_space(char16_t c) {
    if (c == 0x20 || (c >= 0x09 && c <= 0x0D)) return true;
    if (c < 0x85) return false;
    return c == 0x85 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 ||
           c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

std::u16string decode_language_text(const uint8_t* bytes, size_t size) {
    if (size >= 2 && size % 2 == 0 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        std::u16string text((size - 2) / 2, u'\0');
        for (size_t i = 0; i < text.size(); ++i) {
            text[i] = static_cast<char16_t>(bytes[2 + 2 * i] | bytes[3 + 2 * i] << 8);
        }
        return text;
    }
    return widen(std::string_view(reinterpret_cast<const char*>(bytes), size));
}

namespace {

bool is_line_end(char16_t c) {
    return c == u'\r' || c == u'\n';
}

// One line (without its line end) into the table.
void parse_entry(std::u16string_view line, LanguageTable::Map& entries) {
    size_t i = 0;
    while (i < line.size() && is_language_space(line[i]))
        ++i;
    const size_t key_start = i;
    while (i < line.size() && !is_language_space(line[i]) && line[i] != u'=')
        ++i;
    if (i == key_start) return;  // empty key
    std::u16string key(line.substr(key_start, i - key_start));
    if (i < line.size()) {
        if (line[i] == u'=') {
            ++i;
        } else {
            while (i < line.size() && is_language_space(line[i]))
                ++i;
        }
    }
    entries.insert_or_assign(std::move(key), std::u16string(line.substr(i)));
}

}  // namespace

LanguageTable LanguageTable::parse(const uint8_t* bytes, size_t size) {
    LanguageTable table;
    const std::u16string text = decode_language_text(bytes, size);
    const std::u16string_view all(text);
    size_t start = 0;
    while (start <= all.size()) {
        size_t end = start;
        while (end < all.size() && !is_line_end(all[end]))
            ++end;
        parse_entry(all.substr(start, end - start), table.m_entries);
        start = end + 1;
    }
    return table;
}

bool LanguageTable::load(const std::u16string& path) {
    FileStream file(path, OpenMode::Read);
    if (!file.is_open()) return false;
    std::vector<uint8_t> bytes;
    const uint64_t size = file.size();
    bytes.resize(static_cast<size_t>(size < kMaxFileBytes ? size : kMaxFileBytes));
    size_t got = 0;
    while (got < bytes.size()) {
        const size_t n = file.read(bytes.data() + got, bytes.size() - got);
        if (n == 0) break;
        got += n;
    }
    bytes.resize(got);
    LanguageTable fresh = parse(bytes.data(), bytes.size());
    m_entries.swap(fresh.m_entries);
    m_path = path;
    return true;
}

std::u16string LanguageTable::text_for(std::u16string_view key) const {
    const std::u16string* text = find(key);
    return text ? *text : std::u16string(key);
}

const std::u16string* LanguageTable::find(std::u16string_view key) const {
    const auto it = m_entries.find(key);
    return it == m_entries.end() ? nullptr : &it->second;
}

}  // namespace vistrel
