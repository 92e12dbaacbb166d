#pragma once
// Directory listing with name patterns ("*", "?", and "*.*" for every name).

#include <dirent.h>

#include <cstdint>
#include <string>

namespace vistrel {

// Whether `name` matches `pattern` ("*" any run, "?" one character), without regard to
// letter case.
bool matches_pattern(std::u16string_view pattern, std::u16string_view name);

struct DirectoryEntry {
    std::u16string name;
    bool is_directory = false;  // a real folder; a symbolic link to one is not
    bool is_symlink = false;
    bool is_regular = false;  // a regular file itself, not through a link
    uint64_t size = 0;        // size and time: only when the reader gives all details
    int64_t modified_ns = 0;
};

// What a reader finds out about each entry: everything (one status call per entry), or
// for files other than links only their kind, which most file systems give with the
// listing itself (such a file may have vanished since).
enum class EntryDetails { All, KindOnly };

// Lists the entries of one folder whose names match a pattern, in the order the file
// system returns them; "." and ".." are included when they match.
// A folder that cannot be opened lists nothing. Symbolic links are reported as
// themselves and never as folders, so walks do not loop or leave their tree.
class DirectoryReader {
public:
    // `search` is "folder/pattern" after macro expansion, as the first-file search takes it.
    explicit DirectoryReader(const std::u16string& search,
                             EntryDetails details = EntryDetails::All);
    DirectoryReader(const std::u16string& folder, const std::u16string& pattern,
                    EntryDetails details = EntryDetails::All);
    ~DirectoryReader();
    DirectoryReader(const DirectoryReader&) = delete;
    DirectoryReader& operator=(const DirectoryReader&) = delete;

    bool is_open() const { return m_dir != nullptr; }
    // The next matching entry; false at the end.
    bool next(DirectoryEntry& entry);

private:
    void open(const std::u16string& folder, const std::u16string& pattern);

    DIR* m_dir = nullptr;
    EntryDetails m_details = EntryDetails::All;
    std::string m_folder;
    std::u16string m_pattern;
};

}  // namespace vistrel
