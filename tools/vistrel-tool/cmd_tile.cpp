// vistrel-tool tile: one tile of a picture as the viewer shows it.

#include <algorithm>
#include <cstdio>

#include "library/cache/cache_file.h"
#include "library/tiles/cache_tile_source.h"
#include "library/tiles/direct_tile_source.h"
#include "platform/text.h"
#include "render/bitmap.h"
#include "render/png_file.h"
#include "tool_command.h"

namespace vistrel::tool {
namespace {

int run_tile(const std::vector<std::string>& args);

const ToolCommand kCommand{
    "tile", "PICTURE DRIVE LEVEL COLUMN ROW OUT.png [--direct]",
    "writes one 256 x 256 tile of zoom level LEVEL (0: smallest, the last: full size) as PNG, "
    "at its real size and turned by the picture's orientation: from the cache file under "
    "DRIVE when it exists and opens, else (or with --direct) from the picture itself",
    run_tile};
const ToolCommandRegistration kRegistration(kCommand);

int run_tile(const std::vector<std::string>& raw) {
    Options options(raw);
    const bool direct_only = options.flag("direct");
    std::vector<std::string> args;
    long long level = 0, column = 0, row = 0;
    if (!options.positional(args) || args.size() != 6 || !parse_int(args[2], level) ||
        !parse_int(args[3], column) || !parse_int(args[4], row))
        return usage_error(kCommand);
    const std::u16string picture = from_file_name(args[0]);
    const std::u16string drive = from_file_name(args[1]);

    std::unique_ptr<TileSource> source;
    const char* from = "the cache file";
    if (!direct_only) {
        source = std::make_unique<CacheTileSource>(picture, drive);
        if (!source->open()) source.reset();
    }
    if (!source) {
        from = "the picture (no usable cache file)";
        if (direct_only) from = "the picture";
        source = std::make_unique<DirectTileSource>(picture);
        if (!source->open()) {
            std::fprintf(stderr, "vistrel-tool tile: cannot read %s\n", args[0].c_str());
            return kExitFailure;
        }
    }
    const int levels = source->levels();
    if (level < 0 || level > levels) {
        std::fprintf(stderr, "vistrel-tool tile: the picture has zoom levels 0 to %d\n", levels);
        return kExitFailure;
    }
    const Size grid = source->tile_grid(int(level));
    const Size level_size = source->level_size(int(level));
    if (column < 0 || row < 0 || column >= grid.w || row >= grid.h) {
        std::fprintf(stderr, "vistrel-tool tile: level %lld has %d x %d tiles\n", level, grid.w,
                     grid.h);
        return kExitFailure;
    }
    const std::unique_ptr<Bitmap> tile = source->make_tile(int(column), int(row), int(level));
    if (!tile) {
        std::fprintf(stderr, "vistrel-tool tile: the tile cannot be made from %s\n", from);
        return kExitFailure;
    }
    const Size size = source->tile_size(int(column), int(row), int(level));
    const std::unique_ptr<Bitmap> out = Bitmap::create(size);
    for (int y = 0; y < size.h; ++y)
        std::copy_n(tile->row(y), size.w, out->row(y));
    if (!write_png(*out, from_file_name(args[5]))) {
        std::fprintf(stderr, "vistrel-tool tile: cannot write %s\n", args[5].c_str());
        return kExitFailure;
    }
    std::printf(
        "%s: %d x %d, tile %lld,%lld of %d x %d at level %lld of %d (%d x %d, "
        "orientation %d), from %s\n",
        args[5].c_str(), size.w, size.h, column, row, grid.w, grid.h, level, levels, level_size.w,
        level_size.h, source->orientation(), from);
    return kExitOk;
}

}  // namespace
}  // namespace vistrel::tool
