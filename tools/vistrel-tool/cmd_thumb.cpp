// vistrel-tool thumb: the thumbnail of a picture as the album and folder screens show it.

#include <cstdio>

#include "library/cache/cache_builder.h"
#include "library/cache/cache_file.h"
#include "library/cache/thumbnail.h"
#include "platform/text.h"
#include "render/bitmap.h"
#include "render/png_file.h"
#include "tool_command.h"

namespace vistrel::tool {
namespace {

int run_thumb(const std::vector<std::string>& args);

const ToolCommand kCommand{"thumb", "PICTURE DRIVE OUT.png",
                           "writes the picture's 64 x 64 thumbnail from its cache file under "
                           "DRIVE, turned by its orientation, as PNG (builds the cache file "
                           "first when there is none)",
                           run_thumb};
const ToolCommandRegistration kRegistration(kCommand);

int run_thumb(const std::vector<std::string>& args) {
    if (args.size() != 3) return usage_error(kCommand);
    const std::u16string picture = from_file_name(args[0]);
    const std::u16string drive = from_file_name(args[1]);
    const std::u16string name = cache_file_name(picture, drive);
    if (name.empty()) {
        std::fprintf(stderr, "vistrel-tool thumb: %s does not exist\n", args[0].c_str());
        return kExitFailure;
    }
    if (!is_cache_valid(picture, drive) && !build_cache_file(picture, drive, {})) {
        std::fprintf(stderr, "vistrel-tool thumb: %s could not be cached\n", args[0].c_str());
        return kExitFailure;
    }
    const std::unique_ptr<Bitmap> thumbnail = load_thumbnail(picture, drive);
    if (!thumbnail) {
        std::fprintf(stderr, "vistrel-tool thumb: no thumbnail in %s\n", to_utf8(name).c_str());
        return kExitFailure;
    }
    if (!write_png(*thumbnail, from_file_name(args[2]))) {
        std::fprintf(stderr, "vistrel-tool thumb: cannot write %s\n", args[2].c_str());
        return kExitFailure;
    }
    std::printf("%s: %d x %d\n", args[2].c_str(), thumbnail->width(), thumbnail->height());
    return kExitOk;
}

}  // namespace
}  // namespace vistrel::tool
