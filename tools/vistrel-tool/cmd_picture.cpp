// vistrel-tool picture: a picture of any format we read, as the program reads it: what it
// is, whether all of it decodes, and its pixels as a JPEG.

#include <cstdio>

#include "library/cache/half_pass.h"
#include "library/formats/picture_source.h"
#include "library/jpeg/jpeg_writer.h"
#include "platform/file_stream.h"
#include "platform/text.h"
#include "tool_command.h"

namespace vistrel::tool {
namespace {

int run_picture(const std::vector<std::string>& args);

const ToolCommand kCommand{
    "picture", "dump|check|convert PICTURE [OUT.jpg] [--background RRGGBB]",
    "reads a picture of any format the program shows (JPEG, PNG, GIF, WebP, TIFF, JPEG XL, "
    "HEIF, AVIF, camera RAW): dump prints its format, size, orientation and colours; check "
    "decodes every row; convert writes what it shows (in sRGB, transparency over the "
    "background, black by default) as a JPEG of the quality the cache uses. Exit 1 when the "
    "picture cannot be read or decoded",
    run_picture};
const ToolCommandRegistration kRegistration(kCommand);

int run_picture(const std::vector<std::string>& raw) {
    Options options(raw);
    const std::string background = options.value("background", "000000");
    std::vector<std::string> args;
    if (!options.positional(args) || args.size() < 2 || options.bad()) return usage_error(kCommand);
    const std::string& action = args[0];
    if (!((action == "dump" || action == "check") && args.size() == 2) &&
        !(action == "convert" && args.size() == 3))
        return usage_error(kCommand);
    uint32_t colour = 0;
    for (const char c : background) {
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0) return usage_error(kCommand);
        colour = colour * 16 + uint32_t(digit);
    }
    if (background.size() != 6) return usage_error(kCommand);
    set_transparency_background(colour);
    std::string why;
    std::unique_ptr<PictureSource> source = open_picture_source(from_file_name(args[1]), &why);
    if (!source) {
        std::fprintf(stderr, "vistrel-tool picture: %s cannot be read: %s\n", args[1].c_str(),
                     why.c_str());
        return kExitFailure;
    }
    if (action == "dump") {
        std::printf("format: %s\nsize: %d x %d\norientation: %d\ncolours: %s\n",
                    format_name(source->format()), source->width(), source->height(),
                    source->orientation(),
                    source->converts_colours() ? "converted into sRGB" : "taken as sRGB");
        return kExitOk;
    }
    std::unique_ptr<FileStream> out;
    std::unique_ptr<JpegWriter> writer;
    if (action == "convert") {
        out = std::make_unique<FileStream>(from_file_name(args[2]), OpenMode::Write);
        if (!out->is_open()) {
            std::fprintf(stderr, "vistrel-tool picture: cannot write %s\n", args[2].c_str());
            return kExitFailure;
        }
        writer = std::make_unique<JpegWriter>(*out, source->width(), source->height(), kCopyQuality);
        if (!writer->ok()) return kExitFailure;
    }
    std::vector<uint8_t> row(size_t(source->width()) * 3);
    for (int y = 0; y < source->height(); ++y) {
        if (!source->read_row(row.data())) {
            std::fprintf(stderr, "vistrel-tool picture: %s: %s\n", args[1].c_str(),
                         source->problem().c_str());
            return kExitFailure;
        }
        if (writer && !writer->write_row(row.data())) return kExitFailure;
    }
    if (writer && !writer->finish()) return kExitFailure;
    if (source->cut_short())
        std::printf("cut short: the rows after its data ends are grey (%s)\n",
                    source->problem().c_str());
    else
        std::printf("%s: all %d rows decode\n", format_name(source->format()), source->height());
    return kExitOk;
}

}  // namespace
}  // namespace vistrel::tool
