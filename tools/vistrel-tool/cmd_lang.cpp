// vistrel-tool lang: prints a language table, one text, the language-name table or the
// user's language.

#include <cstdio>

#include "language/language_names.h"
#include "language/language_table.h"
#include "platform/text.h"
#include "tool_command.h"

namespace vistrel::tool {
namespace {

int run_lang(const std::vector<std::string>& args);

const ToolCommand kCommand{
    "lang", "FILE.lng [KEY] | --names | --system",
    "prints a language file's table as key=text lines (or the text for KEY), the language-name "
    "table, or the language the user's locale names",
    run_lang};
const ToolCommandRegistration kRegistration(kCommand);

int run_lang(const std::vector<std::string>& args) {
    Options options(args);
    const bool names = options.flag("names");
    const bool system = options.flag("system");
    std::vector<std::string> positional;
    if (!options.positional(positional)) return usage_error(kCommand);
    if (names || system) {
        if (!positional.empty() || (names && system)) return usage_error(kCommand);
        if (system) {
            std::u16string code;
            const uint32_t id = system_language_id();
            const std::u16string name = language_name_for(id, &code);
            std::printf("0x%04X %s %s\n", id, to_utf8(code).c_str(), to_utf8(name).c_str());
            return kExitOk;
        }
        for (int id = 0; id <= kLastLanguageRow; ++id) {
            const LanguageName row = language_row(id);
            if (*row.name)
                std::printf("%d %s %s\n", id, to_utf8(row.code).c_str(), to_utf8(row.name).c_str());
        }
        return kExitOk;
    }
    if (positional.empty() || positional.size() > 2) return usage_error(kCommand);
    LanguageTable table;
    if (!table.load(from_utf8(positional[0]))) {
        std::fprintf(stderr, "vistrel-tool lang: cannot open %s\n", positional[0].c_str());
        return kExitFailure;
    }
    if (positional.size() == 2) {
        std::printf("%s\n", to_utf8(table.text_for(from_utf8(positional[1]))).c_str());
        return kExitOk;
    }
    for (const auto& [key, text] : table.entries()) {
        std::printf("%s=%s\n", to_utf8(key).c_str(), to_utf8(text).c_str());
    }
    return kExitOk;
}

}  // namespace
}  // namespace vistrel::tool
