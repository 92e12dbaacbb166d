#include "language/language_names.h"

#include <array>
#include <cstdlib>

#include "platform/text.h"

namespace vistrel {
namespace {

struct Row {
    int id;
    LanguageName language;
};

// The named rows in identifier order; every other identifier up to kLastLanguageRow is an
// empty row.
constexpr Row kRows[] = {
    {0x01, {u"AR", u"ARABIC"}},    {0x02, {u"BG", u"BULGARIAN"}},
    {0x03, {u"CA", u"CATALAN"}},   {0x04, {u"ZH", u"CHINESE"}},
    {0x05, {u"CS", u"CZECH"}},     {0x06, {u"DA", u"DANISH"}},
    {0x07, {u"DE", u"GERMAN"}},    {0x08, {u"EL", u"GREEK"}},
    {0x09, {u"EN", u"ENGLISH"}},   {0x0A, {u"ES", u"SPANISH"}},
    {0x0B, {u"FI", u"FINNISH"}},   {0x0C, {u"FR", u"FRENCH"}},
    {0x0D, {u"HE", u"HEBREW"}},    {0x0E, {u"HU", u"HUNGARIAN"}},
    {0x0F, {u"IS", u"ICELANDIC"}}, {0x10, {u"IT", u"ITALIAN"}},
    {0x11, {u"JA", u"JAPANESE"}},  {0x12, {u"KO", u"KOREAN"}},
    {0x13, {u"NL", u"DUTCH"}},     {0x14, {u"NO", u"NORWEGIAN"}},
    {0x15, {u"PL", u"POLISH"}},    {0x16, {u"PT", u"PORTUGUESE"}},
    {0x18, {u"RO", u"ROMANIAN"}},  {0x19, {u"RU", u"RUSSIAN"}},
    {0x1A, {u"HR", u"CROATIAN"}},  {0x1B, {u"SK", u"SLOVAK"}},
    {0x1C, {u"SQ", u"ALBANIAN"}},  {0x1D, {u"SV", u"SWEDISH"}},
    {0x1E, {u"TH", u"THAI"}},      {0x1F, {u"TR", u"TURKISH"}},
    {0x20, {u"UR", u"URDU"}},      {0x21, {u"ID", u"INDONESIAN"}},
    {0x22, {u"UK", u"UKRAINIAN"}}, {0x23, {u"BE", u"BYELORUSSIAN"}},
    {0x24, {u"SL", u"SLOVENIAN"}}, {0x25, {u"ET", u"ESTONIAN"}},
    {0x26, {u"LV", u"LATVIAN"}},   {0x27, {u"LT", u"LITHUANIAN"}},
    {0x29, {u"FA", u"PERSIAN"}},   {0x2A, {u"VI", u"VIETNAMESE"}},
    {0x2B, {u"HY", u"ARMENIAN"}},  {0x2C, {u"AZ", u"AZERBAIJANI"}},
    {0x2D, {u"EU", u"BASQUE"}},    {0x2F, {u"MK", u"MACEDONIAN"}},
    {0x36, {u"AF", u"AFRIKAANS"}}, {0x37, {u"KA", u"GEORGIAN"}},
    {0x38, {u"FO", u"FAROESE"}},   {0x39, {u"HI", u"HINDI"}},
    {0x3E, {u"MS", u"MALAY"}},     {0x3F, {u"KK", u"KAZAKH"}},
    {0x41, {u"SW", u"SWAHILI"}},   {0x43, {u"UZ", u"UZBEK"}},
    {0x44, {u"TT", u"TATAR"}},     {0x45, {u"BN", u"BENGALI"}},
    {0x46, {u"PA", u"PUNJABI"}},   {0x47, {u"GU", u"GUJARATI"}},
    {0x48, {u"OR", u"ORIYA"}},     {0x49, {u"TA", u"TAMIL"}},
    {0x4A, {u"TE", u"TELUGU"}},    {0x4B, {u"KN", u"KANNADA"}},
    {0x4C, {u"ML", u"MALAYALAM"}}, {0x4D, {u"AS", u"ASSAMESE"}},
    {0x4E, {u"MR", u"MARATHI"}},   {0x4F, {u"SA", u"SANSKRIT"}},
    {0x59, {u"SD", u"SINDHI"}},    {0x60, {u"KS", u"KASHMIRI"}},
    {0x61, {u"NE", u"NEPALI"}},
};

// The table indexed by identifier, built once.
const std::array<LanguageName, kLastLanguageRow + 1>& table() {
    static const auto rows = [] {
        std::array<LanguageName, kLastLanguageRow + 1> t;
        t.fill({u"", u""});
        for (const Row& r : kRows)
            t[r.id] = r.language;
        return t;
    }();
    return rows;
}

// Locale language codes that differ from the table's code for the same row.
struct Alias {
    const char* code;
    int id;
};
constexpr Alias kAliases[] = {{"nb", 0x14}, {"nn", 0x14}, {"iw", 0x0D},
                              {"in", 0x21}, {"sr", 0x1A}, {"bs", 0x1A}};

}  // namespace

LanguageName language_row(int primary_id) {
    if (primary_id < 0 || primary_id > kLastLanguageRow) return {u"", u""};
    return table()[primary_id];
}

uint32_t language_id_from_locale(std::string_view locale) {
    size_t end = 0;
    while (end < locale.size() && locale[end] != '_' && locale[end] != '.' && locale[end] != '@' &&
           locale[end] != '-')
        ++end;
    const std::string_view code = locale.substr(0, end);
    if (code.size() < 2 || code.size() > 3) return 0;  // "C", "POSIX", ""
    std::string lower;
    for (char c : code) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c < 'a' || c > 'z') return 0;
        lower += c;
    }
    constexpr uint32_t kDefaultSublanguage = 1u << 10;
    for (const Alias& a : kAliases) {
        if (lower == a.code) return kDefaultSublanguage | a.id;
    }
    const std::u16string upper = to_upper(from_utf8(lower));
    for (const Row& r : kRows) {
        if (upper == r.language.code) return kDefaultSublanguage | r.id;
    }
    return 0;
}

uint32_t system_language_id() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value) return language_id_from_locale(value);
    }
    return 0;
}

std::u16string language_name_for(uint32_t language_id, std::u16string* code) {
    const int primary = primary_language(language_id);
    const LanguageName row = primary > 98 ? LanguageName{u"", u""} : language_row(primary);
    if (code) *code = row.code;
    return row.name;
}

std::u16string system_language_name(std::u16string* code) {
    return language_name_for(system_language_id(), code);
}

}  // namespace vistrel
