#include "library/cache/cache_cleanup.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "library/cache/cache_file.h"
#include "platform/file_descriptor.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/trace.h"

namespace vistrel {

namespace {

std::vector<std::string> entry_names(int folder_fd) {
    std::vector<std::string> names;
    const int fd = dup(folder_fd);
    if (fd < 0) return names;
    DIR* dir = fdopendir(fd);
    if (!dir) {
        close(fd);
        return names;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    return names;
}

}  // namespace

int remove_stale_cache_files(const std::u16string& drive, const std::set<std::u16string>& keep) {
    const std::u16string folder = cache_folder(drive);
    const FileDescriptor handle(open(to_utf8(expand_path(folder)).c_str(),
                                     O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!handle.is_open()) return 0;
    int removed = 0;
    for (const std::string& name : entry_names(handle.get())) {
        if (keep.count(from_file_name(name))) continue;
        struct stat st {};
        if (fstatat(handle.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        int result = -1;
        if (S_ISREG(st.st_mode))
            result = unlinkat(handle.get(), name.c_str(), 0);
        else if (S_ISDIR(st.st_mode))
            result = unlinkat(handle.get(), name.c_str(), AT_REMOVEDIR);  // empty ones only
        else
            continue;
        trace() << "remove stale cache entry {" << from_file_name(name) << "} result=" << (result == 0)
                << "\n";
        if (result == 0) ++removed;
    }
    return removed;
}

}  // namespace vistrel
