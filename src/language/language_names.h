#pragma once
// The language-name table (one row per primary language identifier, the numbers language
// files and settings store) and the user's language as that identifier, read from the
// locale.

#include <cstdint>
#include <string>
#include <string_view>

namespace vistrel {

struct LanguageName {
    const char16_t* code;  // ISO 639-1 in upper case, "" for an empty row
    const char16_t* name;  // English name in upper case, "" for an empty row
};

// Rows 0 .. kLastLanguageRow; identifiers without a language give an empty row.
inline constexpr int kLastLanguageRow = 97;
// The row for a primary identifier; an empty row outside the table.
LanguageName language_row(int primary_id);

// A language identifier: primary identifier in the low 10 bits, sub-language above.
inline constexpr int primary_language(uint32_t language_id) {
    return language_id & 0x3FF;
}

// The identifier for a locale name such as "ru_RU.UTF-8" or "de" (primary identifier with
// the default sub-language 1); 0 for "C", "POSIX", an empty or an unknown name.
uint32_t language_id_from_locale(std::string_view locale);

// The user's language: the first set of LC_ALL, LC_MESSAGES and LANG, as an identifier.
uint32_t system_language_id();

// The row name for an identifier: empty when its primary identifier is above 98 or its
// row is empty. `code`, when given, receives the row's code.
std::u16string language_name_for(uint32_t language_id, std::u16string* code = nullptr);

// The user's language name ("RUSSIAN" for ru_RU.UTF-8), or empty text.
std::u16string system_language_name(std::u16string* code = nullptr);

}  // namespace vistrel
