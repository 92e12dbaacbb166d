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
    std::printf("%s\n", to_utf8(expand_path(from_utf8(args[0]))).c_str());
    return kExitOk;
}

}  // namespace
}  // namespace vistrel::tool
