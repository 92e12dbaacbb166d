#include "unchecked_cache.h"

#include <filesystem>
#include <vector>

#include "bench_pictures.h"
#include "library/cache/cache_file.h"
#include "platform/text.h"

namespace vistrel::bench {

std::pair<std::u16string, std::u16string> unchecked_twin(const std::u16string& picture,
                                                         const std::u16string& drive) {
    namespace fs = std::filesystem;
    FileStream file(cache_file_name(picture, drive), OpenMode::Read);
    CacheHeader header;
    if (!file.is_open() || !header.read(file, file.size())) return {};
    std::vector<uint8_t> bytes(header.entries_offset);
    if (!file.seek(0) || file.read(bytes.data(), bytes.size()) != bytes.size()) return {};
    const fs::path folder = fs::path(bench_folder()) / "unchecked";
    fs::create_directories(folder / "!vistrelcache");
    const fs::path copy = folder / fs::path(to_utf8(picture)).filename();
    fs::copy_file(to_utf8(picture), copy, fs::copy_options::overwrite_existing);
    const std::u16string twin = from_utf8(copy.string());
    const std::u16string twin_drive = from_utf8(folder.string());
    FileStream out(cache_file_name(twin, twin_drive), OpenMode::Write);
    if (out.write(bytes.data(), bytes.size()) != bytes.size()) return {};
    return {twin, twin_drive};
}

}  // namespace vistrel::bench
