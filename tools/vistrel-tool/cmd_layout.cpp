// vistrel-tool layout: builds the element tree of a skin's top-level node, lays it out at a
// given size and prints one line per element.

#include <cstdio>

#include "platform/text.h"
#include "tool_command.h"
#include "ui/element_kinds.h"
#include "ui/preview.h"

namespace vistrel::tool {
namespace {

int run_layout(const std::vector<std::string>& args);

const ToolCommand kCommand{"layout", "FILE.skin NODE WIDTH HEIGHT [--dpi N]",
                           "lays out the element tree of a top-level skin node at a size and "
                           "prints its elements",
                           run_layout};
const ToolCommandRegistration kRegistration(kCommand);

int run_layout(const std::vector<std::string>& args) {
    Options options(args);
    long long dpi = 0, width = 0, height = 0;
    const std::string dpi_text = options.value("dpi", "96");
    std::vector<std::string> p;
    if (options.bad() || !options.positional(p) || p.size() != 4 || !parse_int(dpi_text, dpi) ||
        dpi < 1 || dpi > 10000 || !parse_int(p[2], width) || !parse_int(p[3], height) ||
        width < 1 || height < 1 || width > 8192 || height > 8192)
        return usage_error(kCommand);

    ElementKindsScope kinds;
    Properties properties;
    Container root;
    std::string error;
    if (!open_preview(properties, root, from_utf8(p[0]), static_cast<int>(dpi), from_utf8(p[1]),
                      {static_cast<int>(width), static_cast<int>(height)}, error)) {
        std::fprintf(stderr, "vistrel-tool layout: %s: %s\n", p[0].c_str(), error.c_str());
        return kExitFailure;
    }
    std::u16string lines;
    root.dump_to(lines);
    const std::string text = to_utf8(lines);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return kExitOk;
}

}  // namespace
}  // namespace vistrel::tool
