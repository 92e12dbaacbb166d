#include "platform/app_folders.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "platform/paths.h"
#include "platform/text.h"

#ifndef VISTREL_DATA_FROM_BIN
#define VISTREL_DATA_FROM_BIN "../share/vistrel"
#endif

namespace vistrel {

namespace {

namespace fs = std::filesystem;

fs::path native(const std::u16string& path) {
    return fs::path(to_utf8(path));
}

bool is_folder(const fs::path& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

bool is_file(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

bool writable(const fs::path& path) {
    return access(path.c_str(), W_OK) == 0;
}

// Whether the folder holds a file whose name ends with `extension`.
bool holds_file_ending(const fs::path& folder, std::string_view extension) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() > extension.size() &&
            name.compare(name.size() - extension.size(), extension.size(), extension) == 0 &&
            is_file(it->path()))
            return true;
    }
    return false;
}

bool holds_data(const fs::path& folder) {
    return is_folder(folder / "skins") || holds_file_ending(folder, ".lng");
}

std::string program_name() {
    return to_utf8(expand_path(u"%app_name%"));
}

void warn(const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", program_name().c_str(), text.c_str());
}

}  // namespace

std::u16string locate_data_folder(const std::u16string& app_folder) {
    const fs::path app = native(app_folder);
    if (holds_data(app)) return app_folder;
    const fs::path shared = (app / VISTREL_DATA_FROM_BIN).lexically_normal();
    if (is_folder(shared)) {
        std::string text = shared.string();
        while (text.size() > 1 && text.back() == '/')
            text.pop_back();
        return from_file_name(text);
    }
    return app_folder;
}

std::u16string data_folder() {
    static const std::u16string folder = locate_data_folder(expand_path(u"%app_path%"));
    return folder;
}

std::u16string locate_state_folder(const std::u16string& app_folder,
                                   const std::u16string& data_folder) {
    // Only absolute folders count; relative ones are ignored.
    const char* chosen = std::getenv("VISTREL_STATE");
    if (chosen && chosen[0] == '/') return from_file_name(chosen);
    const fs::path app = native(app_folder);
    if (!app_folder.empty() && app_folder == data_folder && holds_data(app) && writable(app))
        return app_folder;
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && state[0] == '/') return from_file_name(std::string(state) + "/vistrel");
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return from_file_name(std::string(home) + "/.local/state/vistrel");
    return app_folder;
}

std::u16string state_folder() {
    static const std::u16string folder =
        locate_state_folder(expand_path(u"%app_path%"), data_folder());
    return folder;
}

std::u16string folder_list_path() {
    const std::u16string app_folder = expand_path(u"%app_path%");
    const std::u16string folder = state_folder();
    const std::u16string list = folder + u"/folders.ini";
    const std::u16string beside = app_folder + u"/folders.ini";
    const std::string list_text = to_utf8(list);
    if (folder != app_folder) {
        std::error_code ec;
        fs::create_directories(native(folder), ec);
        if (!is_folder(native(folder)) || !writable(native(folder))) {
            const std::string why = ec ? ec.message() : std::strerror(EACCES);
            warn("cannot write the folder list " + list_text + " (" + why +
                 "); albums will not be remembered");
            return is_file(native(list)) || !is_file(native(beside)) ? list : beside;
        }
        if (!is_file(native(list)) && is_file(native(beside))) {
            fs::copy_file(native(beside), native(list), ec);
            if (ec)
                warn("cannot copy the folder list " + to_utf8(beside) + " to " + list_text + " (" +
                     ec.message() + ")");
        }
    }
    if (is_file(native(list)) && !writable(native(list)))
        warn("the folder list " + list_text + " is read-only; albums will not be remembered");
    return list;
}

std::string data_folder_problem() {
    const fs::path folder = native(data_folder());
    const std::string name = folder.string();
    std::error_code ec;
    fs::directory_iterator probe(folder, ec);
    if (ec) return "cannot read the data folder " + name + " (" + ec.message() + ")";
    if (!holds_file_ending(folder, ".lng")) return "no language file (*.lng) in " + name;
    if (!holds_file_ending(folder / "skins" / "bin", ".skin"))
        return "no skin (*.skin) in " + (folder / "skins" / "bin").string();
    return {};
}

}  // namespace vistrel
