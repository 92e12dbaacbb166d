#pragma once
// UTF-16 program text and its conversions at the operating-system boundary.

#include <cstdint>
#include <string>
#include <string_view>

namespace vistrel {

// UTF-16 to UTF-8. Unpaired surrogates become U+FFFD.
std::string to_utf8(std::u16string_view text);

// UTF-8 to UTF-16. Malformed sequences become U+FFFD; `ok` (when given) tells whether
// the input was well-formed.
std::u16string from_utf8(std::string_view text, bool* ok = nullptr);

// Widens 8-bit text one byte per code unit by sign extension (bytes above 127 become
// FF80..FFFF), as the trace log does for narrow text.
std::u16string widen(std::string_view text);

// Letter-case copies for the Latin, Greek and Cyrillic alphabets.
std::u16string to_lower(std::u16string_view text);
std::u16string to_upper(std::u16string_view text);
char16_t to_lower(char16_t c);
char16_t to_upper(char16_t c);

// Decimal text of a number, as "%d" writes it.
std::u16string to_u16(std::int64_t value);

}  // namespace vistrel
