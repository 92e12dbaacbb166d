// vistrel-tool expand: shows what a path with a path macro stands for.

#include <cstdio>

#include "platform/paths.h"
#include "platform/text.h"
#include "tool_command.h"

namespace vistrel::tool {
namespace {

int run_expand(const std::vector<std::string>& args);

const ToolCommand kCommand{"expand", "PATH",
                           "expands a leading path macro such as %app_path% or %my_documents%",
                           run_expand};
const ToolCommandRegistration kRegistration(kCommand);

int run_expand(const std::vector<std::string>& args) {
    if (args.size() != 1) return usage_error(kCommand);
    const std::u16string path = from_utf8(args[0]);
    // A macro that names no folder (no documents folder, say) would leave the rest of the
    // path hanging below the root: nothing is printed for it.
    const size_t end = path.size() > 1 && path[0] == u'%' ? path.find(u'%', 1) : std::u16string::npos;
    if (end != std::u16string::npos && expand_path(path.substr(0, end + 1)).empty()) {
        std::fprintf(stderr, "%s names no existing folder\n", to_utf8(path.substr(0, end + 1)).c_str());
        return kExitFailure;
    }
    std::printf("%s\n", to_utf8(expand_path(path)).c_str());
    return kExitOk;
}

}  // namespace
}  // namespace vistrel::tool
