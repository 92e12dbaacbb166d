#pragma once
// The picture actions of the viewer's "Options" menu: the properties text, the size texts,
// deleting a picture together with its cache file, and handing a picture to the desktop's
// mail program.

#include <cstdint>
#include <string>

#include "render/geometry.h"
#include "skin/properties.h"

namespace vistrel {

// "1023 byte", "1.5 kbyte", "146 kbyte", "1.5 mbyte": the unit words are the language
// texts of "byte", "kbyte" and "mbyte"; the digit after the point is a tenth by truncating
// division and can reach 10.
std::u16string size_text(const Properties& properties, uint64_t bytes);

// Lines "<Name> : value\n" for the picture's name, folder, resolution (left out when
// `resolution` is empty), size, date (long_date_text) and time (local_time_text); the last
// three are left out when the file cannot be found. Names are shown as readable_name
// gives them.
std::u16string properties_text(const Properties& properties, const std::u16string& picture,
                               Size resolution);

// Deletes the cache file (or folder) of `picture` under `drive`, then, only when that
// worked, the picture itself. True when both are gone.
bool delete_picture_and_cache(const std::u16string& picture, const std::u16string& drive);

// Moves `picture` to the desktop's trash, then deletes its cache file when it has one.
// False (with `why`) when the move failed: then nothing is deleted.
bool trash_picture_and_cache(const std::u16string& picture, const std::u16string& drive,
                             std::string& why);

// The temporary file reduced versions are sent from: the drive's cache folder + "send.jpg".
std::u16string send_file_path(const std::u16string& drive);

// Starts the desktop's mail program with `file` attached ("xdg-email --attach FILE");
// false when it could not be started.
bool send_by_mail(const std::u16string& file);

}  // namespace vistrel
