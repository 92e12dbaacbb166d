// vistrel-tool render: draws the element tree of a skin's top-level node at a given size
// into a PNG file.

#include <cstdio>
#include <functional>

#include "platform/text.h"
#include "render/png_file.h"
#include "tool_command.h"
#include "ui/container.h"
#include "ui/preview.h"

namespace vistrel::tool {

// In cmd_layout.cpp.
int run_preview_command(const ToolCommand& command, const std::vector<std::string>& args,
                        size_t extra,
                        const std::function<int(Container&, const std::vector<std::string>&)>& use);

namespace {

int run_render(const std::vector<std::string>& args);

const ToolCommand kCommand{"render", "FILE.skin NODE WIDTH HEIGHT OUT.png [--dpi N] [--lang FILE.lng] [--set ID=TEXT]... [--menu TITLE=ENTRY,...]",
                           "draws the element tree of a top-level skin node at a size into a "
                           "PNG file",
                           run_render};
const ToolCommandRegistration kRegistration(kCommand);

int run_render(const std::vector<std::string>& args) {
    return run_preview_command(kCommand, args, 1, [](Container& root, const auto& extra) {
        const std::string& out = extra[0];
        const RenderSurface picture = render_preview(root);
        if (!picture.bitmap() || !write_png(*picture.bitmap(), from_utf8(out))) {
            std::fprintf(stderr, "vistrel-tool render: cannot write %s\n", out.c_str());
            return kExitFailure;
        }
        std::printf("%s: %d x %d\n", out.c_str(), root.width(), root.height());
        return kExitOk;
    });
}

}  // namespace
}  // namespace vistrel::tool
