#pragma once
// UTF-16 program text and its conversions at the operating-system boundary.

#include <cstdint>
#include <string>
#include <string_view>

namespace vistrel {

// Bytes that are not UTF-8 are kept in program text as reserved code points, one per byte:
// byte b (0x80..0xFF) as U+DC00 + b, an unpaired low surrogate that no UTF-8 text decodes
// to. A file name's backslash is kept as U+DC5C (see from_file_name). So every name the
// file system gives comes back as the same bytes.
inline constexpr char16_t kRawByteBase = 0xDC00;
inline constexpr char16_t kRawBackslash = kRawByteBase + u'\\';

// UTF-16 to UTF-8. Reserved code points for raw bytes (U+DC80..U+DCFF, U+DC5C) become those
// bytes again; other unpaired surrogates become U+FFFD.
std::string to_utf8(std::u16string_view text);

// UTF-8 to UTF-16. Each byte of a malformed sequence becomes its reserved code point;
// `ok` (when given) tells whether the input was well-formed.
std::u16string from_utf8(std::string_view text, bool* ok = nullptr);

// A name read from the file system (a directory entry, a link's target, a path from the
// environment or the command line): from_utf8, and each "\\" kept as U+DC5C, since on this
// system it is part of a name and never a separator. Paths made of such names still use
// "/" between them.
std::u16string from_file_name(std::string_view name);

// The text of a name as it can be shown: raw bytes read as Latin-1 (U+0080..U+00FF), the
// kept backslash as "\\". For display only; never use it to reach the file.
std::u16string readable_name(std::u16string_view name);

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
