#include "platform/paths.h"

#include <limits.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "platform/process.h"
#include "platform/text.h"
#include "platform/trace.h"

namespace vistrel {

namespace {

constexpr size_t kMaxAppPath = 1024;

struct AppPaths {
    std::u16string full;
    std::u16string folder;
    std::u16string name;
};

const AppPaths& app_paths() {
    static const AppPaths paths = [] {
        AppPaths p;
        p.full = get_app_path();
        const size_t cut = p.full.find_last_of(u"\\/");
        if (cut == std::u16string::npos) {
            p.name = p.full;
        } else {
            p.folder = p.full.substr(0, cut);
            p.name = p.full.substr(cut + 1);
        }
        return p;
    }();
    return paths;
}

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string home_folder() {
    return env("HOME");
}

bool is_directory(const std::string& path) {
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::u16string existing(const std::string& path) {
    return is_directory(path) ? from_file_name(path) : std::u16string();
}

// XDG_PICTURES_DIR from the environment or from user-dirs.dirs, with $HOME expanded.
std::string xdg_pictures_dir() {
    std::string value = env("XDG_PICTURES_DIR");
    if (value.empty()) {
        std::string config = env("XDG_CONFIG_HOME");
        if (config.empty()) config = home_folder() + "/.config";
        if (FILE* f = std::fopen((config + "/user-dirs.dirs").c_str(), "r")) {
            std::array<char, 1024> line{};
            while (std::fgets(line.data(), line.size(), f)) {
                std::string text(line.data());
                const std::string key = "XDG_PICTURES_DIR=\"";
                if (text.rfind(key, 0) != 0) continue;
                const size_t end = text.find('"', key.size());
                if (end != std::string::npos) value = text.substr(key.size(), end - key.size());
            }
            std::fclose(f);
        }
    }
    if (value.rfind("$HOME", 0) == 0) value = home_folder() + value.substr(5);
    return value;
}

std::string data_home() {
    const std::string value = env("XDG_DATA_HOME");
    return value.empty() ? home_folder() + "/.local/share" : value;
}

std::u16string native_string(const std::u16string& path) {
    return expand_path(path);
}

}  // namespace

std::u16string get_app_path() {
    std::array<char, kMaxAppPath * 4> buffer{};
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    const std::u16string path =
        n > 0 ? from_file_name(std::string_view(buffer.data(), size_t(n))) : std::u16string();
    if (n >= static_cast<ssize_t>(buffer.size() - 1) || path.size() > kMaxAppPath - 1)
        log_fatal("get_app_path()", "path is more then MAX_PATH long");
    return path;
}

std::u16string special_folder(SpecialFolder folder) {
    switch (folder) {
        case SpecialFolder::Documents: {
            const std::string chosen = env("VISTREL_DOCUMENTS");
            if (!chosen.empty()) return existing(chosen);
            const std::string pictures = xdg_pictures_dir();
            if (is_directory(pictures)) return from_file_name(pictures);
            return existing(home_folder() + "/Pictures");
        }
        case SpecialFolder::System:
            return {};
        case SpecialFolder::Startup:
            return existing(to_utf8(config_folder()) + "/autostart");
        case SpecialFolder::Programs:
        case SpecialFolder::StartMenu:
            return existing(data_home() + "/applications");
        case SpecialFolder::ProgramFiles:
            return existing("/opt");
    }
    return {};
}

std::u16string temp_folder() {
    std::string dir = env("TMPDIR");
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    return from_file_name(dir.empty() ? "/tmp" : dir);
}

std::u16string config_folder() {
    const std::string value = env("XDG_CONFIG_HOME");
    return from_file_name(value.empty() ? home_folder() + "/.config" : value);
}

std::u16string runtime_folder() {
    const std::string value = env("XDG_RUNTIME_DIR");
    return is_directory(value) ? from_file_name(value) : temp_folder();
}

std::u16string expand_path(const std::u16string& path) {
    struct Macro {
        std::u16string_view name;
        std::u16string (*expand)();
    };
    static const Macro macros[] = {
        {u"%app_full_name%", [] { return app_paths().full; }},
        {u"%app_path%", [] { return app_paths().folder; }},
        {u"%app_name%", [] { return app_paths().name; }},
        {u"%my_documents%", [] { return special_folder(SpecialFolder::Documents); }},
        {u"%windows%", [] { return special_folder(SpecialFolder::System); }},
        {u"%startup%", [] { return special_folder(SpecialFolder::Startup); }},
        {u"%programs%", [] { return special_folder(SpecialFolder::Programs); }},
        {u"%start_menu%", [] { return special_folder(SpecialFolder::StartMenu); }},
        {u"%program_files%", [] { return special_folder(SpecialFolder::ProgramFiles); }},
    };
    std::u16string out;
    size_t start = 0;
    for (const auto& macro : macros) {
        if (std::u16string_view(path).substr(0, macro.name.size()) == macro.name) {
            out = macro.expand();
            start = macro.name.size();
            break;
        }
    }
    out.reserve(out.size() + path.size() - start);
    for (size_t i = start; i < path.size(); ++i)
        out.push_back(path[i] == u'\\' ? u'/' : path[i]);
    return out;
}

void create_directory(const std::u16string& path) {
    const std::u16string full = expand_path(path);
    std::u16string folder = full;
    if (!folder.empty() && folder.back() == u'/') folder.pop_back();
    if (folder.empty()) return;
    const size_t cut = folder.find_last_of(u'/');
    if (cut != std::u16string::npos && cut > 0) create_directory(folder.substr(0, cut + 1));
    const bool made = mkdir(to_utf8(folder).c_str(), 0777) == 0;
    trace() << "CreateDirectoryW {" << folder << "} result=" << made << "\n";
}

bool execute_file(const std::u16string& file, const std::u16string& parameters) {
    const std::u16string path = expand_path(file);
    trace() << "execute_file(" << path << "} {" << parameters << ")\n";
    std::vector<std::string> args;
    const std::string native = to_utf8(path);
    if (access(native.c_str(), X_OK) == 0 && !is_directory(native)) {
        args.push_back(native);
    } else {
        args = {"xdg-open", native};
    }
    const std::string params = to_utf8(parameters);
    size_t pos = 0;
    while (pos < params.size()) {
        const size_t end = params.find(' ', pos);
        const std::string word = params.substr(pos, end == std::string::npos ? end : end - pos);
        if (!word.empty()) args.push_back(word);
        if (end == std::string::npos) break;
        pos = end + 1;
    }
    return spawn_process(args);
}

FileInfo file_info(const std::u16string& path) {
    FileInfo info;
    struct stat st {};
    if (lstat(to_utf8(native_string(path)).c_str(), &st) != 0) return info;
    info.exists = true;
    info.is_directory = S_ISDIR(st.st_mode);
    info.is_regular = S_ISREG(st.st_mode);
    info.is_symlink = S_ISLNK(st.st_mode);
    info.size = static_cast<uint64_t>(st.st_size);
    info.modified_ns = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return info;
}

bool is_regular_file(const std::u16string& path) {
    struct stat st {};
    return stat(to_utf8(expand_path(path)).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool delete_file(const std::u16string& path) {
    const std::string native = to_utf8(native_string(path));
    struct stat st {};
    if (lstat(native.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    return unlink(native.c_str()) == 0;
}

bool rename_file(const std::u16string& from, const std::u16string& to) {
    return std::rename(to_utf8(native_string(from)).c_str(), to_utf8(native_string(to)).c_str()) ==
           0;
}

std::optional<uint64_t> total_bytes(const std::u16string& path) {
    struct statvfs st {};
    if (statvfs(to_utf8(native_string(path)).c_str(), &st) != 0) return std::nullopt;
    return uint64_t(st.f_blocks) * st.f_frsize;
}

std::optional<uint64_t> free_bytes(const std::u16string& path) {
    struct statvfs st {};
    if (statvfs(to_utf8(native_string(path)).c_str(), &st) != 0) return std::nullopt;
    return uint64_t(st.f_bavail) * st.f_frsize;
}

}  // namespace vistrel
