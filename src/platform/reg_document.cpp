#include "platform/reg_document.h"

#include <cstdio>

#include "platform/text.h"

namespace vistrel {

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";

bool same_name(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (to_lower(a[i]) != to_lower(b[i])) return false;
    return true;
}

// Bytes of the file as UTF-8 text; a UTF-16LE file is converted.
std::string as_utf8(std::string_view bytes) {
    if (bytes.size() >= 2 && uint8_t(bytes[0]) == 0xFF && uint8_t(bytes[1]) == 0xFE) {
        std::u16string units;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            units.push_back(char16_t(uint8_t(bytes[i]) | (uint8_t(bytes[i + 1]) << 8)));
        return to_utf8(units);
    }
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    return std::string(bytes);
}

// Reads a quoted string with \" and \\ escapes starting at `pos` (on the opening quote).
// Leaves `pos` after the closing quote.
bool read_quoted(std::string_view line, size_t& pos, std::string& out) {
    if (pos >= line.size() || line[pos] != '"') return false;
    ++pos;
    out.clear();
    while (pos < line.size()) {
        const char c = line[pos++];
        if (c == '"') return true;
        if (c == '\\') {
            if (pos >= line.size()) return false;
            out.push_back(line[pos++]);
        } else {
            out.push_back(c);
        }
    }
    return false;
}

std::string quote(std::u16string_view text) {
    std::string out = "\"";
    for (char c : to_utf8(text)) {
        if (c == '"' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

bool parse_dword(std::string_view text, uint32_t& value) {
    if (text.empty() || text.size() > 8) return false;
    value = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        value = (value << 4) | uint32_t(digit);
    }
    return true;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.back() == '\r' || s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    return s;
}

}  // namespace

RegDocument RegDocument::parse(std::string_view bytes) {
    RegDocument doc;
    const std::string text = as_utf8(bytes);
    std::vector<std::string_view> lines;
    for (size_t pos = 0; pos <= text.size();) {
        const size_t end = text.find('\n', pos);
        lines.push_back(
            std::string_view(text).substr(pos, end == std::string::npos ? end : end - pos));
        if (end == std::string::npos) break;
        pos = end + 1;
    }
    if (!lines.empty() && lines.back().empty()) lines.pop_back();

    Section* section = nullptr;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string_view raw_line = lines[i];
        const std::string_view line = trim(raw_line);
        bool well_formed = false;
        from_utf8(line, &well_formed);
        if (!section && (line == kHeader || line == "REGEDIT4")) continue;
        if (well_formed && line.size() >= 2 && line.front() == '[' && line.back() == ']' &&
            line[1] != '-') {
            doc.m_sections.push_back(
                Section{from_utf8(line.substr(1, line.size() - 2)), std::string(raw_line), {}});
            section = &doc.m_sections.back();
            continue;
        }
        Line entry;
        entry.raw = std::string(raw_line);
        // A value line of another type may continue over lines ending in "\".
        while (!entry.raw.empty() && trim(entry.raw).ends_with('\\') && i + 1 < lines.size()) {
            entry.raw.push_back('\n');
            entry.raw.append(lines[++i]);
        }
        if (section && well_formed) {
            size_t pos = 0;
            std::string name;
            bool named = false;
            if (line.starts_with('@')) {
                pos = 1;
                named = true;
            } else {
                named = read_quoted(line, pos, name);
            }
            if (named && pos < line.size() && line[pos] == '=') {
                const std::string_view data = line.substr(pos + 1);
                entry.name = from_utf8(name);
                std::string str;
                size_t vpos = 0;
                uint32_t number = 0;
                if (read_quoted(data, vpos, str) && vpos == data.size()) {
                    entry.parsed = true;
                    entry.value = RegValue::string(from_utf8(str));
                } else if (data.starts_with("dword:") && parse_dword(data.substr(6), number)) {
                    entry.parsed = true;
                    entry.value = RegValue::number(number);
                } else if (!data.empty()) {
                    entry.parsed = true;
                    entry.value.type = RegValue::Type::Other;
                }
            }
        }
        if (section)
            section->lines.push_back(std::move(entry));
        else
            doc.m_preamble.push_back(std::move(entry.raw));
    }
    return doc;
}

std::string RegDocument::serialize() const {
    std::string out(kHeader);
    out += "\n";
    for (const auto& line : m_preamble) {
        if (trim(line).empty()) continue;
        out += line + "\n";
    }
    for (const auto& section : m_sections) {
        out += "\n";
        out += section.raw_header.empty() ? "[" + to_utf8(section.key) + "]" : section.raw_header;
        out += "\n";
        for (const auto& line : section.lines) {
            if (!line.parsed || line.value.type == RegValue::Type::Other) {
                if (trim(line.raw).empty()) continue;
                out += line.raw + "\n";
                continue;
            }
            out += line.name.empty() ? std::string("@") : quote(line.name);
            out += "=";
            if (line.value.type == RegValue::Type::String) {
                out += quote(line.value.text);
            } else {
                char hex[16];
                std::snprintf(hex, sizeof hex, "dword:%08x", line.value.dword);
                out += hex;
            }
            out += "\n";
        }
    }
    return out;
}

RegDocument::Section* RegDocument::find(std::u16string_view key) {
    for (auto& s : m_sections)
        if (same_name(s.key, key)) return &s;
    return nullptr;
}

const RegDocument::Section* RegDocument::find(std::u16string_view key) const {
    return const_cast<RegDocument*>(this)->find(key);
}

bool RegDocument::has_key(std::u16string_view key) const {
    return find(key) != nullptr;
}

void RegDocument::add_key(std::u16string_view key) {
    if (!find(key)) m_sections.push_back(Section{std::u16string(key), {}, {}});
}

std::optional<RegValue> RegDocument::get(std::u16string_view key, std::u16string_view name) const {
    const Section* section = find(key);
    if (!section) return std::nullopt;
    for (auto it = section->lines.rbegin(); it != section->lines.rend(); ++it)
        if (it->parsed && same_name(it->name, name)) return it->value;
    return std::nullopt;
}

void RegDocument::set(std::u16string_view key, std::u16string_view name, const RegValue& value) {
    add_key(key);
    Section* section = find(key);
    for (auto it = section->lines.rbegin(); it != section->lines.rend(); ++it) {
        if (it->parsed && same_name(it->name, name)) {
            it->value = value;
            return;
        }
    }
    Line line;
    line.parsed = true;
    line.name = std::u16string(name);
    line.value = value;
    section->lines.push_back(std::move(line));
}

std::vector<std::u16string> RegDocument::value_names(std::u16string_view key) const {
    std::vector<std::u16string> names;
    if (const Section* section = find(key))
        for (const auto& line : section->lines)
            if (line.parsed) names.push_back(line.name);
    return names;
}

std::vector<std::u16string> RegDocument::keys() const {
    std::vector<std::u16string> out;
    for (const auto& s : m_sections)
        out.push_back(s.key);
    return out;
}

}  // namespace vistrel
