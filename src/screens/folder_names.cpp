#include "screens/folder_names.h"

#include "library/photo_library.h"
#include "platform/paths.h"

namespace vistrel {

namespace {

std::u16string without_separator(std::u16string path) {
    while (path.size() > 1 && (path.back() == u'/' || path.back() == u'\\'))
        path.pop_back();
    return path;
}

}  // namespace

std::u16string album_display_name(const Properties& properties, const std::u16string& folder) {
    std::u16string name = PhotoLibrary::folder_display_name(folder);
    const std::u16string plain = without_separator(folder);
    constexpr std::u16string_view kMacro = u"%my_documents%";
    const bool documents =
        (plain.size() >= kMacro.size() &&
         plain.compare(plain.size() - kMacro.size(), kMacro.size(), kMacro) == 0) ||
        without_separator(expand_path(folder)) == without_separator(expand_path(u"%my_documents%"));
    if (!documents) return name;
    const std::u16string text = properties.text_for(u"MyDocuments");
    return text == u"MyDocuments" ? name : text;
}

}  // namespace vistrel
