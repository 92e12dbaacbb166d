// vistrel-tool orientation: prints the EXIF orientation the program reads from a picture.

#include <cstdio>

#include "library/jpeg/orientation.h"
#include "platform/file_stream.h"
#include "platform/text.h"
#include "tool_command.h"

namespace vistrel::tool {
namespace {

int run_orientation(const std::vector<std::string>& args);

const ToolCommand kCommand{"orientation", "PICTURE",
                           "prints the EXIF orientation of a JPEG (1..8; 1 when it has none, "
                           "0 when it is marked unusable)",
                           run_orientation};
const ToolCommandRegistration kRegistration(kCommand);

int run_orientation(const std::vector<std::string>& args) {
    if (args.size() != 1) return usage_error(kCommand);
    FileStream picture(from_file_name(args[0]), OpenMode::Read);
    if (!picture.is_open()) {
        std::fprintf(stderr, "vistrel-tool orientation: cannot open %s\n", args[0].c_str());
        return kExitFailure;
    }
    std::printf("%d\n", read_orientation(picture));
    return kExitOk;
}

}  // namespace
}  // namespace vistrel::tool
