#pragma once
// The program's path macros, its own location, special folders and small file operations.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vistrel {

// The full path of the program file (from /proc/self/exe). A path longer than 1023
// characters is a broken invariant and ends the process.
std::u16string get_app_path();

// Expands a leading path macro ("%app_path%", "%app_name%", "%app_full_name%",
// "%my_documents%", "%windows%", "%startup%", "%programs%", "%start_menu%",
// "%program_files%") and turns every "\" and "/" of the rest into "/".
// A macro anywhere but at the start is plain text.
std::u16string expand_path(const std::u16string& path);

// Creates every missing folder along the expanded path; traces each attempt.
void create_directory(const std::u16string& path);

// Opens a document or starts a program through the desktop ("xdg-open"), or runs the
// file itself when it is an executable program; `parameters` are split at spaces.
bool execute_file(const std::u16string& file, const std::u16string& parameters);

// The special folders behind the macros; empty text when the folder does not exist.
enum class SpecialFolder { Documents, System, Startup, Programs, StartMenu, ProgramFiles };
std::u16string special_folder(SpecialFolder folder);

// The system temporary folder ($TMPDIR, else /tmp), without a trailing separator.
std::u16string temp_folder();

// The user's configuration folder ($XDG_CONFIG_HOME, else ~/.config).
std::u16string config_folder();

// The folder for sockets and lock files ($XDG_RUNTIME_DIR, else the temporary folder).
std::u16string runtime_folder();

// Metadata of a file or folder, without following a final symbolic link.
struct FileInfo {
    bool exists = false;
    bool is_directory = false;
    bool is_regular = false;
    bool is_symlink = false;
    uint64_t size = 0;
    int64_t modified_ns = 0;  // last modification, nanoseconds since the epoch
};
FileInfo file_info(const std::u16string& path);

// Whether the path names a regular file, through any symbolic link. Only such files are
// ever opened as pictures: devices, pipes and sockets could block or never end.
bool is_regular_file(const std::u16string& path);

// Deletes a file (not a folder). False when it does not exist or cannot be deleted.
bool delete_file(const std::u16string& path);
// Renames atomically, replacing the target.
bool rename_file(const std::u16string& from, const std::u16string& to);
// Total bytes of the file system holding `path`; nullopt when the query fails.
std::optional<uint64_t> total_bytes(const std::u16string& path);
// Free bytes of the file system holding `path`; nullopt when the query fails.
std::optional<uint64_t> free_bytes(const std::u16string& path);

}  // namespace vistrel
