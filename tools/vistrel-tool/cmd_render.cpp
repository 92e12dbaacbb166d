// vistrel-tool render: draws the element tree of a skin's top-level node at a given size
// into a PNG file.

#include <cstdio>

#include "platform/text.h"
#include "render/png_file.h"
#include "tool_command.h"
#include "ui/element_kinds.h"
#include "ui/preview.h"

namespace vistrel::tool {
namespace {

int run_render(const std::vector<std::string>& args);

const ToolCommand kCommand{"render", "FILE.skin NODE WIDTH HEIGHT OUT.png [--dpi N]",
                           "draws the element tree of a top-level skin node at a size into a "
                           "PNG file",
                           run_render};
const ToolCommandRegistration kRegistration(kCommand);

int run_render(const std::vector<std::string>& args) {
    Options options(args);
    long long dpi = 0, width = 0, height = 0;
    const std::string dpi_text = options.value("dpi", "96");
    std::vector<std::string> p;
    if (options.bad() || !options.positional(p) || p.size() != 5 || !parse_int(dpi_text, dpi) ||
        dpi < 1 || dpi > 10000 || !parse_int(p[2], width) || !parse_int(p[3], height) ||
        width < 1 || height < 1 || width > 8192 || height > 8192)
        return usage_error(kCommand);

    ElementKindsScope kinds;
    Properties properties;
    Container root;
    std::string error;
    if (!open_preview(properties, root, from_utf8(p[0]), static_cast<int>(dpi), from_utf8(p[1]),
                      {static_cast<int>(width), static_cast<int>(height)}, error)) {
        std::fprintf(stderr, "vistrel-tool render: %s: %s\n", p[0].c_str(), error.c_str());
        return kExitFailure;
    }
    const RenderSurface picture = render_preview(root);
    if (!picture.bitmap() || !write_png(*picture.bitmap(), from_utf8(p[4]))) {
        std::fprintf(stderr, "vistrel-tool render: cannot write %s\n", p[4].c_str());
        return kExitFailure;
    }
    std::printf("%s: %lld x %lld\n", p[4].c_str(), width, height);
    return kExitOk;
}

}  // namespace
}  // namespace vistrel::tool
