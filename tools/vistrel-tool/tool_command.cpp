#include "tool_command.h"

#include <charconv>
#include <cstdio>

namespace vistrel::tool {

namespace {

std::vector<ToolCommand>& registry() {
    static std::vector<ToolCommand> list;
    return list;
}

}  // namespace

const std::vector<ToolCommand>& commands() {
    return registry();
}

ToolCommandRegistration::ToolCommandRegistration(const ToolCommand& command) {
    registry().push_back(command);
}

int usage_error(const ToolCommand& command) {
    std::fprintf(stderr, "usage: vistrel-tool %s %s\n", command.name, command.usage);
    return kExitUsage;
}

bool Options::flag(const std::string& name) {
    for (auto it = m_args.begin(); it != m_args.end(); ++it) {
        if (*it == "--" + name) {
            m_args.erase(it);
            return true;
        }
    }
    return false;
}

std::string Options::value(const std::string& name, const std::string& fallback) {
    for (auto it = m_args.begin(); it != m_args.end(); ++it) {
        if (*it != "--" + name) continue;
        if (it + 1 == m_args.end()) {
            m_bad = true;
            m_args.erase(it);
            return fallback;
        }
        std::string value = *(it + 1);
        m_args.erase(it, it + 2);
        return value;
    }
    return fallback;
}

bool Options::positional(std::vector<std::string>& out) const {
    out.clear();
    for (const auto& arg : m_args) {
        if (arg.size() > 2 && arg.rfind("--", 0) == 0) return false;
        out.push_back(arg);
    }
    return !m_bad;
}

bool parse_int(const std::string& text, long long& out) {
    if (text.empty()) return false;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && ptr == end;
}

}  // namespace vistrel::tool
