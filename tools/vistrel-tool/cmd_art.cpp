// vistrel-tool art: turns a PNG picture into a 16-bit bitmap file as the skin compiler does
// (used by the build for the viewer's tile stand-ins beside each skin).

#include <cstdio>

#include "platform/text.h"
#include "render/bmp_file.h"
#include "skinc/png_art.h"
#include "tool_command.h"

namespace vistrel::tool {
namespace {

int run_art(const std::vector<std::string>& args);

const ToolCommand kCommand{"art", "IN.png OUT.bmp",
                           "converts a PNG picture to a 16-bit bitmap file as skinc does",
                           run_art};
const ToolCommandRegistration kRegistration(kCommand);

int run_art(const std::vector<std::string>& args) {
    if (args.size() != 2) return usage_error(kCommand);
    std::string error;
    const std::unique_ptr<Bitmap> bitmap = skinc::read_png_art(args[0], error);
    if (!bitmap) {
        std::fprintf(stderr, "vistrel-tool art: %s: %s\n", args[0].c_str(), error.c_str());
        return kExitFailure;
    }
    if (!write_bmp_565(*bitmap, from_utf8(args[1]))) {
        std::fprintf(stderr, "vistrel-tool art: cannot write %s\n", args[1].c_str());
        return kExitFailure;
    }
    std::printf("%s: %d x %d\n", args[1].c_str(), bitmap->width(), bitmap->height());
    return kExitOk;
}

}  // namespace
}  // namespace vistrel::tool
