#pragma once
// Taking picture paths apart and putting them together. Both "\" and "/" count as
// separators when a path is taken apart; joins insert "/".

#include <string>
#include <string_view>

namespace vistrel {

// Whether `c` is "\\" or "/".
bool is_separator(char16_t c);

// `dir` + "/" + `name`, with one trailing separator of `dir` dropped first; `name` alone
// when `dir` is empty.
std::u16string join(std::u16string_view dir, std::u16string_view name);

// The text up to and including the last separator; empty when there is none. Folder paths
// made by it always end with a separator.
std::u16string directory_part(std::u16string_view path);

// The text after the last separator; the whole path when there is none.
std::u16string file_name_part(std::u16string_view path);

// Whether `path` starts with `prefix`, comparing UTF-16 code units exactly.
bool is_prefix_of(std::u16string_view prefix, std::u16string_view path);

}  // namespace vistrel
