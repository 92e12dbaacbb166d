// The folder list file over any bytes: whatever is read is written back and read again to
// the same records (the order is kept for up to ten folders).

#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "library/folder_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vistrel;
    std::vector<Folder> folders;
    parse_folders(std::vector<uint8_t>(data, data + size), folders);
    if (folders.size() > 10) return 0;
    // Values holding line breaks, or starting with white space, do not survive the line
    // form; leave them.
    for (const Folder& f : folders)
        for (const std::u16string* text : {&f.key_picture, &f.drive_path})
            if (text->find_first_of(u"\r\n") != std::u16string::npos ||
                (!text->empty() &&
                 std::u16string_view(u" \t\v\f").find(text->front()) != std::u16string_view::npos))
                return 0;
    const std::vector<uint8_t> once = format_folders(folders);
    std::vector<Folder> again;
    parse_folders(once, again);
    if (format_folders(again) != once) std::abort();
    return 0;
}
