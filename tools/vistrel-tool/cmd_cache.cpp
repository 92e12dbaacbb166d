// vistrel-tool cache: builds the cache file of one picture, as the photo library does.

#include <cstdio>

#include "library/cache/cache_builder.h"
#include "library/cache/cache_check.h"
#include "library/cache/cache_file.h"
#include "library/cache/picture_facts.h"
#include "platform/text.h"
#include "tool_command.h"

namespace vistrel::tool {
namespace {

int run_cache(const std::vector<std::string>& args);

const ToolCommand kCommand{
    "cache", "PICTURE DRIVE [--check]",
    "builds the cache file of a picture in DRIVE/!vistrelcache and prints "
    "its path; exit 1 when the picture failed (an empty marker file). "
    "--check only checks the existing file (its layout and the checksum of every "
    "section) and prints its levels, the date taken and the caption",
    run_cache};
const ToolCommandRegistration kRegistration(kCommand);

int check_cache(const std::u16string& name, const std::u16string& picture) {
    const CacheReport report = inspect_cache_file(name, picture);
    std::printf("%s\n", to_utf8(name).c_str());
    if (!report.levels.empty())
        std::printf("orientation %d, %d halved levels\n", report.header.orientation,
                    report.header.level_count());
    for (size_t k = 0; k < report.levels.size(); ++k) {
        const CacheLevelReport& level = report.levels[k];
        std::printf("level %zu: %d x %d, %zu records (of %zu)", k, level.width, level.height,
                    level.records, level.expected_records);
        if (k > 0) std::printf(", %u bytes", report.header.levels[k].jpeg_size);
        if (k == 0 && report.header.has_copy())
            std::printf(", baseline copy of %u bytes", report.header.copy_size);
        std::printf("\n");
    }
    if (report.header.checksums)
        std::printf("checksums: %zu sections\n", report.header.checksums->sections().size());
    else if (!report.levels.empty())
        std::printf("checksums: none (a file from before them)\n");
    if (report.thumbnail_width)
        std::printf("thumbnail: %d x %d, %u bytes\n", report.thumbnail_width,
                    report.thumbnail_height, report.header.thumbnail_size);
    if (!report.levels.empty()) {
        const CacheColours colours = report.header.colours;
        std::printf("colours: %s\n", colours == CacheColours::Converted ? "converted into sRGB"
                                     : colours == CacheColours::AsStored
                                         ? "as stored"
                                         : "not recorded (built before colours were converted)");
        const std::vector<uint8_t>* facts = report.header.entries.find(kCacheFactsTag);
        const std::optional<PictureFacts> read = facts ? PictureFacts::from_entry(*facts) : std::nullopt;
        if (!facts) {
            std::printf("facts: none (a file from before them)\n");
        } else if (!read) {
            std::printf("facts: not readable\n");
        } else {
            if (read->taken)
                std::printf("taken: %04d-%02d-%02d %02d:%02d:%02d\n", read->taken->year,
                            read->taken->month, read->taken->day, read->taken->hour,
                            read->taken->minute, read->taken->second);
            else
                std::printf("taken: unknown\n");
            std::printf("caption: %s\n", to_utf8(read->caption).c_str());
        }
    }
    if (!report.valid) {
        std::printf("not valid: %s\n", report.problem.c_str());
        return kExitFailure;
    }
    return kExitOk;
}

int run_cache(const std::vector<std::string>& raw) {
    Options options(raw);
    const bool check_only = options.flag("check");
    std::vector<std::string> args;
    if (!options.positional(args) || args.size() != 2) return usage_error(kCommand);
    const std::u16string picture = from_file_name(args[0]);
    const std::u16string drive = from_file_name(args[1]);
    const std::u16string name = cache_file_name(picture, drive);
    if (name.empty()) {
        std::fprintf(stderr, "vistrel-tool cache: %s does not exist\n", args[0].c_str());
        return kExitFailure;
    }
    if (check_only) return check_cache(name, picture);
    const bool built = build_cache_file(picture, drive, {});
    std::printf("%s\n", to_utf8(name).c_str());
    if (!built || !is_cache_valid(picture, drive)) {
        std::fprintf(stderr, "vistrel-tool cache: %s could not be cached; failure marker written\n",
                     args[0].c_str());
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace
}  // namespace vistrel::tool
