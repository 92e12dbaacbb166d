#include "platform/path_parts.h"

namespace vistrel {

bool is_separator(char16_t c) {
    return c == u'\\' || c == u'/';
}

namespace {

size_t last_separator(std::u16string_view path) {
    return path.find_last_of(u"\\/");
}

}  // namespace

std::u16string join(std::u16string_view dir, std::u16string_view name) {
    if (dir.empty()) return std::u16string(name);
    if (is_separator(dir.back())) dir.remove_suffix(1);
    std::u16string out;
    out.reserve(dir.size() + 1 + name.size());
    out.append(dir);
    out.push_back(u'/');
    out.append(name);
    return out;
}

std::u16string directory_part(std::u16string_view path) {
    const size_t cut = last_separator(path);
    if (cut == std::u16string_view::npos) return {};
    return std::u16string(path.substr(0, cut + 1));
}

std::u16string file_name_part(std::u16string_view path) {
    const size_t cut = last_separator(path);
    if (cut == std::u16string_view::npos) return std::u16string(path);
    return std::u16string(path.substr(cut + 1));
}

bool is_prefix_of(std::u16string_view prefix, std::u16string_view path) {
    return path.size() >= prefix.size() && path.substr(0, prefix.size()) == prefix;
}

}  // namespace vistrel
