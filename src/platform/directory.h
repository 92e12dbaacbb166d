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
    uint64_t size = 0;
    int64_t modified_ns = 0;
};

// Lists the entries of one folder whose names match a pattern, in the order the file
// system returns them; "." and ".." are included when they match.
// A folder that cannot be opened lists nothing. Symbolic links are reported as
// themselves and never as folders, so walks do not loop or leave their tree.
class DirectoryReader {
public:
    // `search` is "folder/pattern" after macro expansion, as the first-file search takes it.
    explicit DirectoryReader(const std::u16string& search);
    DirectoryReader(const std::u16string& folder, const std::u16string& pattern);
    ~DirectoryReader();
    DirectoryReader(const DirectoryReader&) = delete;
    DirectoryReader& operator=(const DirectoryReader&) = delete;

    bool is_open() const { return m_dir != nullptr; }
    // The next matching entry; false at the end.
    bool next(DirectoryEntry& entry);

private:
    void open(const std::u16string& folder, const std::u16string& pattern);

    DIR* m_dir = nullptr;
    std::string m_folder;
    std::u16string m_pattern;
};

}  // namespace vistrel
