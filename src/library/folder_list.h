#pragma once
// The folder list file: the result of the last search, one record per picture folder, as
// UTF-16LE "key<TAB>value" lines.
//
//   KeyPicturePath0  /media/card/DCIM/a.jpg
//   DrivePath0       /media/card/
//   FolderSize0      12

#include <cstdint>
#include <string>
#include <vector>

namespace vistrel {

struct Folder {
    std::u16string drive_path;   // the storage root it was found under, with a separator
    std::u16string folder_path;  // ends with a separator
    std::u16string key_picture;  // the picture shown for the folder
    int32_t size = 0;            // number of pictures
};

// Appends the records of the file to `folders`. A missing or unreadable file adds nothing.
void load_folders(const std::u16string& path, std::vector<Folder>& folders);

// The same from the file's bytes.
void parse_folders(const std::vector<uint8_t>& bytes, std::vector<Folder>& folders);

// The file's bytes for a folder list.
std::vector<uint8_t> format_folders(const std::vector<Folder>& folders);

// Writes the whole list to a temporary file beside `path` and renames it over the old file,
// so a crash mid-write never loses the list. False when the file could not be written; the
// old file is then unchanged.
bool save_folders(const std::u16string& path, const std::vector<Folder>& folders);

}  // namespace vistrel
