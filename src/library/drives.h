#pragma once
// Which storage is searched for pictures.

#include <string>
#include <string_view>
#include <vector>

#include "library/file_walker.h"

namespace vistrel {

// The storage cards: the folders listed in $VISTREL_CARDS (separated by ":") when it is
// set, else the removable volumes mounted below /media, /mnt and /run/media/<user>, in mount
// order.
std::vector<std::u16string> storage_cards();

// Reports every storage card worth searching through the visitor's `on_directory`: cards of
// more than 1,000,000 bytes that do not hold the documents folder (which is searched on its
// own). A false answer from the visitor ends the enumeration. Always returns true.
bool find_drives(FileVisitor& visitor);

// Whether "%my_documents%" names an existing folder. Without one (no VISTREL_DOCUMENTS, no
// pictures folder, no home) the documents drive is not searched: its paths would expand
// below the file system's root.
bool documents_folder_exists();

// Whether a picture lies in a place that is never shown: its path contains, with exact case,
// "Program Files", "Windows" or the cache folder's name.
bool is_excluded_picture(std::u16string_view path);

// The mount points listed in a mounts table (the text of /proc/self/mounts) that lie below
// one of `roots`, with the table's octal escapes decoded.
std::vector<std::string> removable_mount_points(const std::string& mounts_table,
                                                const std::vector<std::string>& roots);

}  // namespace vistrel
