#pragma once
// The desktop's Trash, as file managers share it: a picture moved there keeps a ".trashinfo"
// (its original path, percent-encoded, and the deletion date) so that it can be restored.
// Files on the home file system go to the home trash ($XDG_DATA_HOME/Trash, else
// ~/.local/share/Trash); files on other volumes to the volume's ".Trash/$UID" (when the
// administrator made ".Trash" sticky) or ".Trash-$UID".

#include <optional>
#include <string>

namespace vistrel {

struct TrashFolder {
    std::string root;       // the trash itself, with "files" and "info" inside
    std::string top;        // a volume trash: the volume's top folder (paths are relative)
    bool home = false;
};

// The trash a file would go to, its folders made as needed; nothing when no trash can take
// it (no home, another volume without a writable top folder, a read-only trash).
std::optional<TrashFolder> trash_for(const std::string& file);

// Moves `file` into its trash: the ".trashinfo" is written first under a free name, then the
// file renamed beside it. False (with `why`) when it did not move; then nothing is deleted
// and no info is left behind. `moved_to`, when given, receives the file's place in the trash.
bool move_to_trash(const std::string& file, std::string& why, std::string* moved_to = nullptr);

// The path as a ".trashinfo" holds it: bytes outside the unreserved set and "/" as %XX.
std::string trash_path_text(const std::string& path);

}  // namespace vistrel
