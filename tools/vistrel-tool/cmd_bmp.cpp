// vistrel-tool bmp: reads a 16-bit bitmap file as the program does and writes it as PNG.

#include <cstdio>

#include "platform/file_stream.h"
#include "platform/text.h"
#include "render/bmp_file.h"
#include "render/png_file.h"
#include "tool_command.h"

namespace vistrel::tool {
namespace {

int run_bmp(const std::vector<std::string>& args);

const ToolCommand kCommand{"bmp", "IN.bmp OUT.png",
                           "converts a 16-bit bitmap file (as skins use) to PNG", run_bmp};
const ToolCommandRegistration kRegistration(kCommand);

int run_bmp(const std::vector<std::string>& args) {
    if (args.size() != 2) return usage_error(kCommand);
    FileStream in(from_utf8(args[0]), OpenMode::Read);
    if (!in.is_open()) {
        std::fprintf(stderr, "vistrel-tool bmp: cannot open %s\n", args[0].c_str());
        return kExitFailure;
    }
    const std::unique_ptr<Bitmap> bitmap = read_bmp_565(in);
    if (!bitmap) {
        std::fprintf(stderr, "vistrel-tool bmp: %s is not a 16-bit bitmap\n", args[0].c_str());
        return kExitFailure;
    }
    if (bitmap->width() > kMaxPngSide || bitmap->height() > kMaxPngSide) {
        std::fprintf(stderr,
                     "vistrel-tool bmp: %s is %d x %d; a PNG file holds at most %d pixels a side\n",
                     args[0].c_str(), bitmap->width(), bitmap->height(), kMaxPngSide);
        return kExitFailure;
    }
    if (!write_png(*bitmap, from_utf8(args[1]))) {
        std::fprintf(stderr, "vistrel-tool bmp: cannot write %s\n", args[1].c_str());
        return kExitFailure;
    }
    std::printf("%s: %d x %d\n", args[1].c_str(), bitmap->width(), bitmap->height());
    return kExitOk;
}

}  // namespace
}  // namespace vistrel::tool
