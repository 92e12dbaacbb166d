// vistrel-tool layout: builds the element tree of a skin's top-level node, lays it out at a
// given size and prints one line per element. Also the shared part of vistrel-tool render.

#include <cstdio>
#include <functional>

#include "platform/text.h"
#include "tool_command.h"
#include "ui/element_kinds.h"
#include "ui/preview.h"

namespace vistrel::tool {

// Runs a command of the form "FILE.skin NODE WIDTH HEIGHT [EXTRA...] [--dpi N]": builds the
// screen and hands it, with the `extra` arguments after HEIGHT, to `use`.
int run_preview_command(
    const ToolCommand& command, const std::vector<std::string>& args, size_t extra,
    const std::function<int(Container&, const std::vector<std::string>&)>& use) {
    Options options(args);
    long long dpi = 0, width = 0, height = 0;
    const std::string dpi_text = options.value("dpi", "96");
    std::vector<std::string> p;
    if (options.bad() || !options.positional(p) || p.size() != 4 + extra ||
        !parse_int(dpi_text, dpi) || dpi < 1 || dpi > 10000 || !parse_int(p[2], width) ||
        !parse_int(p[3], height) || width < 1 || height < 1 || width > 8192 || height > 8192)
        return usage_error(command);

    ElementKindsScope kinds;
    Properties properties;
    Container root;
    std::string error;
    if (!open_preview(properties, root, from_utf8(p[0]), static_cast<int>(dpi), from_utf8(p[1]),
                      {static_cast<int>(width), static_cast<int>(height)}, error)) {
        std::fprintf(stderr, "vistrel-tool %s: %s: %s\n", command.name, p[0].c_str(),
                     error.c_str());
        return kExitFailure;
    }
    return use(root, {p.begin() + 4, p.end()});
}

namespace {

int run_layout(const std::vector<std::string>& args);

const ToolCommand kCommand{"layout", "FILE.skin NODE WIDTH HEIGHT [--dpi N]",
                           "lays out the element tree of a top-level skin node at a size and "
                           "prints its elements",
                           run_layout};
const ToolCommandRegistration kRegistration(kCommand);

int run_layout(const std::vector<std::string>& args) {
    return run_preview_command(kCommand, args, 0, [](Container& root, const auto&) {
        std::u16string lines;
        root.dump_to(lines);
        const std::string text = to_utf8(lines);
        std::fwrite(text.data(), 1, text.size(), stdout);
        return kExitOk;
    });
}

}  // namespace
}  // namespace vistrel::tool
