// vistrel-tool settings get|set: reads and writes the settings file.

#include <cstdio>

#include "platform/registry.h"
#include "platform/settings_store.h"
#include "platform/text.h"
#include "tool_command.h"

namespace vistrel::tool {
namespace {

int run_settings(const std::vector<std::string>& raw);

const ToolCommand kCommand{"settings",
                           "get KEY_PATH NAME | set KEY_PATH NAME VALUE [--dword] | file",
                           "reads or writes a value of the settings file ($VISTREL_SETTINGS or "
                           "~/.config/vistrel/settings.reg), for example: settings set "
                           "'HKEY_CURRENT_USER\\Software\\TEKU' Log 1 --dword",
                           run_settings};
const ToolCommandRegistration kRegistration(kCommand);

int run_settings(const std::vector<std::string>& raw) {
    Options options(raw);
    const bool as_dword = options.flag("dword");
    std::vector<std::string> args;
    if (!options.positional(args) || args.empty()) return usage_error(kCommand);
    const std::string& verb = args[0];
    if (verb == "file" && args.size() == 1) {
        std::printf("%s\n", SettingsStore::global().file().c_str());
        return kExitOk;
    }
    if (verb == "get" && args.size() == 3 && !as_dword) {
        const std::u16string key = from_utf8(args[1]);
        const std::u16string name = from_utf8(args[2]);
        if (split_root(key).root == RootKey::None) {
            std::fprintf(stderr, "vistrel-tool: '%s' names no key\n", args[1].c_str());
            return kExitFailure;
        }
        std::u16string text;
        uint32_t number = 0;
        if (read_string(key, name, text)) {
            std::printf("%s\n", to_utf8(text).c_str());
            return kExitOk;
        }
        if (read_dword(key, name, number)) {
            std::printf("%u\n", number);
            return kExitOk;
        }
        std::fprintf(stderr, "vistrel-tool: no value '%s' in '%s'\n", args[2].c_str(),
                     args[1].c_str());
        return kExitFailure;
    }
    if (verb == "set" && args.size() == 4) {
        const std::u16string key = from_utf8(args[1]);
        const std::u16string name = from_utf8(args[2]);
        bool written;
        if (as_dword) {
            long long number = 0;
            if (!parse_int(args[3], number) || number < 0 || number > 0xFFFFFFFFLL) {
                std::fprintf(stderr, "vistrel-tool: '%s' is not a 32-bit number\n",
                             args[3].c_str());
                return kExitUsage;
            }
            written = write_dword(key, name, uint32_t(number));
        } else {
            written = write_string(key, name, from_utf8(args[3]));
        }
        if (!written) {
            std::fprintf(stderr, "vistrel-tool: could not write '%s' in '%s'\n", args[2].c_str(),
                         args[1].c_str());
            return kExitFailure;
        }
        return kExitOk;
    }
    return usage_error(kCommand);
}

}  // namespace
}  // namespace vistrel::tool
