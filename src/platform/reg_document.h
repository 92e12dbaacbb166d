#pragma once
// The settings file's text form: a registry export with sections of typed values.
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\TEKU\Vistrel]
//   "Skin"="default"
//   "Log"=dword:00000001
//
// Lines the parser does not understand (comments, other value types, garbage) are kept
// verbatim and written back, so a write never loses what it did not change.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel {

struct RegValue {
    enum class Type { String, Dword, Other };
    Type type = Type::String;
    std::u16string text;  // String
    uint32_t dword = 0;   // Dword

    static RegValue string(std::u16string text) { return {Type::String, std::move(text), 0}; }
    static RegValue number(uint32_t value) { return {Type::Dword, {}, value}; }
};

class RegDocument {
public:
    // Parses file bytes (UTF-8, or UTF-16LE with its byte-order mark). Never fails:
    // what cannot be read is kept as opaque lines.
    static RegDocument parse(std::string_view bytes);
    // The UTF-8 text form.
    std::string serialize() const;

    bool has_key(std::u16string_view key) const;
    // Adds an empty section when the key is missing.
    void add_key(std::u16string_view key);
    // The value, when present and of a type we read (other types give Other).
    std::optional<RegValue> get(std::u16string_view key, std::u16string_view name) const;
    // Sets (and creates key and value as needed), keeping the position of an existing value.
    void set(std::u16string_view key, std::u16string_view name, const RegValue& value);
    // Names of the values of a key, in file order.
    std::vector<std::u16string> value_names(std::u16string_view key) const;
    std::vector<std::u16string> keys() const;

private:
    struct Line {
        std::string raw;  // kept verbatim when `parsed` is false
        bool parsed = false;
        std::u16string name;  // value name; empty for the default value "@"
        RegValue value;
    };
    struct Section {
        std::u16string key;
        std::string raw_header;  // the header line as read
        std::vector<Line> lines;
    };

    Section* find(std::u16string_view key);
    const Section* find(std::u16string_view key) const;

    std::vector<std::string> m_preamble;  // lines before the first section
    std::vector<Section> m_sections;
};

}  // namespace vistrel
