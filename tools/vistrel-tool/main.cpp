// vistrel-tool: looks inside the program's files and runs its library from a terminal.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tool_command.h"

namespace {

void print_usage(FILE* out) {
    using vistrel::tool::commands;
    std::fprintf(out, "usage: vistrel-tool COMMAND [ARGUMENTS]\n\ncommands:\n");
    auto list = commands();
    std::sort(list.begin(), list.end(),
              [](const auto& a, const auto& b) { return std::strcmp(a.name, b.name) < 0; });
    for (const auto& c : list) {
        std::fprintf(out, "  %s %s\n      %s\n", c.name, c.usage, c.summary);
    }
}

}  // namespace

int main(int argc, char** argv) {
    using namespace vistrel::tool;
    if (argc < 2) {
        print_usage(stderr);
        return kExitUsage;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        print_usage(stdout);
        return kExitOk;
    }
    for (const auto& command : commands()) {
        if (name != command.name) continue;
        std::vector<std::string> args(argv + 2, argv + argc);
        if (std::find(args.begin(), args.end(), "--help") != args.end()) {
            std::printf("usage: vistrel-tool %s %s\n  %s\n", command.name, command.usage,
                        command.summary);
            return kExitOk;
        }
        return command.run(args);
    }
    std::fprintf(stderr, "vistrel-tool: unknown command '%s'\n\n", name.c_str());
    print_usage(stderr);
    return kExitUsage;
}
