// vistrel-tool icc: the ICC profile of a JPEG, as the program reads it from its APP2
// chunks, and what the program does with it.

#include <cstdio>

#include "library/colour/colour_transform.h"
#include "library/jpeg/jpeg_reader.h"
#include "platform/file_stream.h"
#include "platform/text.h"
#include "tool_command.h"

namespace vistrel::tool {
namespace {

int run_icc(const std::vector<std::string>& args);

const ToolCommand kCommand{"icc", "PICTURE [--save FILE.icc]",
                           "prints the ICC profile of a JPEG (size, name, colours) and whether "
                           "the picture is converted into sRGB through it; --save writes the "
                           "profile put together from its chunks. Exit 1 when the picture cannot "
                           "be read",
                           run_icc};
const ToolCommandRegistration kRegistration(kCommand);

int run_icc(const std::vector<std::string>& raw) {
    Options options(raw);
    const std::string save = options.value("save");
    std::vector<std::string> args;
    if (!options.positional(args) || args.size() != 1) return usage_error(kCommand);
    FileStream picture(from_file_name(args[0]), OpenMode::Read);
    const JpegReader reader(picture, picture.size());
    if (!reader.ok()) {
        std::fprintf(stderr, "vistrel-tool icc: %s is not a JPEG picture we can read\n",
                     args[0].c_str());
        return kExitFailure;
    }
    const std::vector<uint8_t>& profile = reader.icc_profile();
    if (profile.empty()) {
        std::printf("no usable ICC profile (none, or its chunks are broken): shown as sRGB\n");
        return kExitOk;
    }
    const IccProfileInfo info = describe_icc_profile(profile);
    std::printf("ICC profile: %zu bytes", profile.size());
    if (info.readable)
        std::printf(", \"%s\", %s %s profile", info.description.c_str(), info.colour_space.c_str(),
                    info.device_class.c_str());
    std::printf("\n");
    if (reader.converts_colours())
        std::printf("converted into sRGB\n");
    else if (!info.readable)
        std::printf("damaged: ignored, shown as sRGB\n");
    else if (info.srgb)
        std::printf("sRGB already: shown as it is\n");
    else
        std::printf("does not fit the picture's colours: ignored, shown as sRGB\n");
    if (!save.empty()) {
        FileStream out(from_file_name(save), OpenMode::Write);
        if (!out.is_open() || out.write(profile.data(), profile.size()) != profile.size()) {
            std::fprintf(stderr, "vistrel-tool icc: cannot write %s\n", save.c_str());
            return kExitFailure;
        }
    }
    return kExitOk;
}

}  // namespace
}  // namespace vistrel::tool
