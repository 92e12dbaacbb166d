// vistrel-tool skin: prints a skin file in the skin compiler's source form, or checks
// that it loads with its pictures and fonts and holds what the screens look up.

#include <cstdio>

#include "platform/file_stream.h"
#include "platform/text.h"
#include "language/language_table.h"
#include "skin/properties_impl.h"
#include "skin/screen_nodes.h"
#include "skin/skin_image.h"
#include "skinc/skin_source.h"
#include "tool_command.h"

namespace vistrel::tool {
namespace {

int run_skin(const std::vector<std::string>& args);

const ToolCommand kCommand{
    "skin", "FILE.skin [--check [--dpi N] [--lang FILE.lng]]",
    "prints a skin in the skin compiler's source form; --check loads it with its pictures and "
    "fonts, reports what it holds and every node the screens need that it lacks (and, with "
    "--lang, every text it shows that the language file lacks)",
    run_skin};
const ToolCommandRegistration kRegistration(kCommand);

int check(const std::u16string& path, int dpi, const std::string& language) {
    ScreenInfo screen;
    screen.dpi = dpi;
    const PropertiesImpl skin(path, screen);
    if (!skin.loaded()) {
        std::printf("does not load%s%s\n", skin.error().empty() ? "" : ": ", skin.error().c_str());
        return kExitFailure;
    }
    const SkinImage& image = *skin.image();
    std::printf("loads: %zu bytes, scale shift %d, %zu top-level nodes\n", image.size(),
                skin.scale_shift(), image.top_level_nodes().size());
    for (int i = 0; i < image.picture_count(); ++i) {
        const Size size = skin.pictures()[static_cast<size_t>(i)].picture.size();
        std::printf("picture %d: %s (%d x %d%s)\n", i, to_utf8(image.picture_name(i)).c_str(),
                    size.w, size.h, skin.dense(i) ? ", @2x" : "");
    }
    for (int i = 0; i < image.font_count(); ++i) {
        const FontRep& font = *skin.fonts()[static_cast<size_t>(i)];
        std::printf("font %d: \"%s\" -> %s, height %d, line height %d, descent %d\n", i,
                    to_utf8(image.font_description(i)).c_str(),
                    font.valid() ? "created" : "no font", font.height(), font.line_height(),
                    font.descent());
    }
    std::printf("texts: %d\n", image.text_count());
    // What the screens would look for in vain.
    const std::vector<std::u16string> missing = missing_screen_nodes(skin);
    for (const std::u16string& line : missing)
        std::printf("missing: %s\n", to_utf8(line).c_str());
    bool complete = missing.empty();
    if (!language.empty()) {
        LanguageTable table;
        if (!table.load(from_utf8(language))) {
            std::printf("cannot open %s\n", language.c_str());
            return kExitFailure;
        }
        for (const std::u16string& key : skin_text_keys(skin))
            if (!table.find(key)) {
                std::printf("no text in %s: %s\n", language.c_str(), to_utf8(key).c_str());
                complete = false;
            }
    }
    std::printf(complete ? "complete\n" : "incomplete\n");
    return complete ? kExitOk : kExitFailure;
}

int run_skin(const std::vector<std::string>& args) {
    Options options(args);
    const bool check_only = options.flag("check");
    long long dpi = 96;
    const std::string dpi_text = options.value("dpi", "96");
    const std::string language = options.value("lang");
    std::vector<std::string> positional;
    if (options.bad() || !options.positional(positional) || positional.size() != 1 ||
        !parse_int(dpi_text, dpi) || dpi < 1 || dpi > 10000)
        return usage_error(kCommand);
    const std::u16string path = from_utf8(positional[0]);
    if (check_only) return check(path, static_cast<int>(dpi), language);

    std::vector<uint8_t> bytes;
    if (!read_file(path, bytes, SkinImage::kMaxFileBytes)) {
        std::fprintf(stderr, "vistrel-tool skin: cannot read %s\n", positional[0].c_str());
        return kExitFailure;
    }
    std::string error;
    const auto image = SkinImage::open(std::move(bytes), &error);
    if (!image) {
        std::fprintf(stderr, "vistrel-tool skin: %s: %s\n", positional[0].c_str(), error.c_str());
        return kExitFailure;
    }
    const std::string text = skinc::format_skin_source(skinc::skin_source_from_image(*image));
    std::fwrite(text.data(), 1, text.size(), stdout);
    return kExitOk;
}

}  // namespace
}  // namespace vistrel::tool
