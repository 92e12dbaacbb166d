#pragma once
// The language table: every user-visible text, looked up by key.
//
// A language file is plain text, one entry a line: the key, then "=" or white space, then
// the text to the end of the line. UTF-16LE with the byte-order mark FF FE; anything else
// is read as 8-bit text, one character a byte. There are no comments, quotes or escapes.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace vistrel {

class LanguageTable {
public:
    using Map = std::map<std::u16string, std::u16string, std::less<>>;

    // Parses file bytes into a table (never fails; what is not an entry is left out).
    static LanguageTable parse(const uint8_t* bytes, size_t size);

    // Replaces the table with the file at `path` (path macros expanded) and remembers the
    // path as given. False, with the table unchanged, when the file cannot be opened; an
    // empty or unreadable file gives an empty table and true.
    bool load(const std::u16string& path);

    // The text stored for `key`, or the key itself when there is none.
    std::u16string text_for(std::u16string_view key) const;
    // The stored text, or null.
    const std::u16string* find(std::u16string_view key) const;

    const Map& entries() const { return m_entries; }
    size_t size() const { return m_entries.size(); }
    // The path of the last successful load, as it was given; empty before.
    const std::u16string& path() const { return m_path; }

    // The most a load reads of a file; the rest of a larger file is ignored.
    static constexpr size_t kMaxFileBytes = size_t(16) << 20;

private:
    Map m_entries;
    std::u16string m_path;
};

// Decodes language-file bytes: UTF-16LE after the byte-order mark when the file starts
// with FF FE and has an even size, else one sign-extended character per byte.
std::u16string decode_language_text(const uint8_t* bytes, size_t size);

// The white space of language files: the C0 spaces and the Unicode space characters.
bool is_language_space(char16_t c);

}  // namespace vistrel
