#pragma once
// Taking picture paths apart and putting them together. Both "\" and "/" count as
// separators when a path is taken apart; joins insert "/".

#include <string>
#include <string_view>

namespace vistrel {

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

// Whether a picture lies in a place that is never shown: its path contains, with exact case,
// "Program Files", "Windows" or the cache folder's name.
bool is_excluded_picture(std::u16string_view path);

// The name of the cache folder on every searched storage root.
inline constexpr char16_t kCacheFolderName[] = u"!vistrelcache";

}  // namespace vistrel
