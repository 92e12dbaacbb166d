// vistrel-tool expand: shows what a path with a path macro stands for, and where each of
// the program's files lives.

#include <cstdio>
#include <string>

#include "platform/app_folders.h"
#include "platform/paths.h"
#include "platform/settings_store.h"
#include "platform/text.h"
#include "tool_command.h"

namespace vistrel::tool {
namespace {

int run_expand(const std::vector<std::string>& args);

const ToolCommand kCommand{
    "expand", "PATH | --files",
    "expands a leading path macro such as %app_path%, %data_path% (language files, help, "
    "skins), %state_path% (the folder list) or %my_documents%; --files lists where each of "
    "the program's files lives",
    run_expand};
const ToolCommandRegistration kRegistration(kCommand);

void show(const char* what, const std::u16string& where, const char* macro) {
    std::printf("%-14s %s%s%s\n", what, where.empty() ? "(none)" : to_utf8(where).c_str(),
                macro[0] ? "  " : "", macro);
}

int list_files() {
    show("program", expand_path(u"%app_full_name%"), "%app_full_name%");
    show("program folder", expand_path(u"%app_path%"), "%app_path%");
    show("data folder", expand_path(u"%data_path%"), "%data_path%");
    show("languages", expand_path(u"%data_path%/*.lng"), "");
    show("skins", expand_path(u"%data_path%/skins/bin/*.skin"), "");
    show("state folder", expand_path(u"%state_path%"), "%state_path%");
    show("folder list", expand_path(u"%state_path%/folders.ini"), "");
    show("settings", from_utf8(SettingsStore::global().file()), "");
    show("trace log", temp_folder() + u"/vistrel.txt", "");
    show("documents", expand_path(u"%my_documents%"), "%my_documents%");
    const std::string problem = data_folder_problem();
    if (!problem.empty()) std::printf("problem: %s\n", problem.c_str());
    return problem.empty() ? kExitOk : kExitFailure;
}

int run_expand(const std::vector<std::string>& args) {
    if (args.size() != 1) return usage_error(kCommand);
    if (args[0] == "--files") return list_files();
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
