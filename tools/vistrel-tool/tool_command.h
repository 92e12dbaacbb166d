#pragma once
// Sub-commands of vistrel-tool. Each cmd_*.cpp file defines one and registers it with a
// static ToolCommandRegistration.

#include <string>
#include <vector>

namespace vistrel::tool {

// Exit codes shared by every sub-command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // the input was bad or the operation failed
inline constexpr int kExitUsage = 2;    // wrong usage

struct ToolCommand {
    const char* name;
    const char* usage;    // argument synopsis, for example "get KEY_PATH NAME"
    const char* summary;  // one line
    // Arguments after the sub-command's name. Returns the exit code.
    int (*run)(const std::vector<std::string>& args);
};

const std::vector<ToolCommand>& commands();

struct ToolCommandRegistration {
    explicit ToolCommandRegistration(const ToolCommand& command);
};

// Prints "usage: vistrel-tool <name> <usage>" to standard error and returns kExitUsage.
int usage_error(const ToolCommand& command);

// Options of the form "--name VALUE" or "--flag" taken out of an argument list.
class Options {
public:
    explicit Options(std::vector<std::string> args) : m_args(std::move(args)) {}
    // Removes "--name" and returns true when present.
    bool flag(const std::string& name);
    // Removes "--name VALUE" and returns VALUE, or `fallback` when absent; sets `bad`
    // when the option is given without a value.
    std::string value(const std::string& name, const std::string& fallback = {});
    bool bad() const { return m_bad; }
    // What is left: the positional arguments. Fails (returns false) when an unknown
    // "--option" remains.
    bool positional(std::vector<std::string>& out) const;

private:
    std::vector<std::string> m_args;
    bool m_bad = false;
};

// Parses a whole decimal number; false on anything else.
bool parse_int(const std::string& text, long long& out);

}  // namespace vistrel::tool
