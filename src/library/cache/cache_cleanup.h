#pragma once
// Removing stale entries from a drive's cache folder.

#include <set>
#include <string>

namespace vistrel {

// Deletes every regular file of the drive's cache folder whose name is not in `keep`, and
// every empty folder inside it. Works only on a real folder (not a symbolic link) and
// through its open handle, so it never deletes anything outside it; symbolic links and
// other entries are left alone. Returns the number of entries removed.
int remove_stale_cache_files(const std::u16string& drive, const std::set<std::u16string>& keep);

}  // namespace vistrel
