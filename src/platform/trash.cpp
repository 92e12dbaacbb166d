#include "platform/trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/file_descriptor.h"
#include "platform/trace.h"

namespace vistrel {

namespace {

constexpr int kMaxNameTries = 10000;

std::string parent_of(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string name_of(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool make_folder(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) == 0) return true;
    struct stat st {};
    return errno == EEXIST && ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Makes every missing folder of `path` (mode 0700).
bool make_folders(const std::string& path) {
    for (size_t at = 1; at <= path.size(); ++at) {
        if (at != path.size() && path[at] != '/') continue;
        if (!make_folder(path.substr(0, at))) return false;
    }
    return true;
}

bool writable_folder(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           ::access(path.c_str(), W_OK | X_OK) == 0;
}

// A trash with its "files" and "info" folders, made when missing and writable.
bool ready(const std::string& root) {
    return make_folders(root + "/files") && make_folders(root + "/info") &&
           writable_folder(root + "/files") && writable_folder(root + "/info");
}

std::string home_trash() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/') return std::string(data) + "/Trash";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.local/share/Trash";
    return {};
}

// The device of the nearest folder along `path` that exists.
bool device_of(std::string path, dev_t& device) {
    struct stat st {};
    while (!path.empty()) {
        if (::stat(path.c_str(), &st) == 0) {
            device = st.st_dev;
            return true;
        }
        if (path == "/") return false;
        path = parent_of(path);
    }
    return false;
}

// The top folder of the volume holding `folder`: the last folder up the path on its device.
std::string volume_top(const std::string& folder, dev_t device) {
    std::string top = folder;
    while (top != "/") {
        const std::string up = parent_of(top);
        struct stat st {};
        if (::stat(up.c_str(), &st) != 0 || st.st_dev != device) break;
        top = up;
    }
    return top;
}

std::string deletion_date() {
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

}  // namespace

std::string trash_path_text(const std::string& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || std::strchr("-_.~/", c) != nullptr;
        if (plain && c != 0) {
            out += char(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::optional<TrashFolder> trash_for(const std::string& file) {
    if (file.empty() || file[0] != '/') return std::nullopt;
    struct stat st {};
    if (::lstat(file.c_str(), &st) != 0) return std::nullopt;
    const dev_t device = st.st_dev;
    const std::string home = home_trash();
    dev_t home_device = 0;
    if (!home.empty() && device_of(home, home_device) && home_device == device) {
        if (ready(home)) return TrashFolder{home, {}, true};
        return std::nullopt;
    }
    const std::string top = volume_top(parent_of(file), device);
    const std::string uid = std::to_string(::getuid());
    // An administrator's shared ".Trash" counts only when sticky and no symbolic link.
    struct stat shared {};
    const std::string shared_root = (top == "/" ? "" : top) + "/.Trash";
    if (::lstat(shared_root.c_str(), &shared) == 0 && S_ISDIR(shared.st_mode) &&
        (shared.st_mode & S_ISVTX)) {
        const std::string root = shared_root + "/" + uid;
        if (ready(root)) return TrashFolder{root, top, false};
    }
    const std::string root = (top == "/" ? "" : top) + "/.Trash-" + uid;
    if (ready(root)) return TrashFolder{root, top, false};
    return std::nullopt;
}

bool move_to_trash(const std::string& file, std::string& why, std::string* moved_to) {
    const std::optional<TrashFolder> trash = trash_for(file);
    if (!trash) {
        why = "no trash can take " + file;
        return false;
    }
    std::string path = file;
    if (!trash->home) {
        const std::string prefix = trash->top == "/" ? "/" : trash->top + "/";
        if (path.rfind(prefix, 0) == 0) path = path.substr(prefix.size());
    }
    const std::string info_text = "[Trash Info]\nPath=" + trash_path_text(path) +
                                  "\nDeletionDate=" + deletion_date() + "\n";
    const std::string name = name_of(file);
    const size_t dot = name.find_last_of('.');
    const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    const std::string extension = stem.size() == name.size() ? "" : name.substr(dot);
    for (int attempt = 0; attempt < kMaxNameTries; ++attempt) {
        const std::string chosen =
            attempt == 0 ? name : stem + "." + std::to_string(attempt + 1) + extension;
        const std::string info = trash->root + "/info/" + chosen + ".trashinfo";
        // The info file claims the name: whoever creates it first owns it.
        const int fd = ::open(info.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            why = "cannot write " + info + ": " + std::strerror(errno);
            return false;
        }
        const bool written = write_all(fd, info_text);
        const bool closed = ::close(fd) == 0;
        const std::string target = trash->root + "/files/" + chosen;
        struct stat taken {};
        if (!written || !closed) {
            why = "cannot write " + info;
        } else if (::lstat(target.c_str(), &taken) == 0) {
            ::unlink(info.c_str());  // a file of that name without info: try the next name
            continue;
        } else if (::rename(file.c_str(), target.c_str()) == 0) {
            trace() << "trash: " << file << " -> " << target << "\n";
            if (moved_to) *moved_to = target;
            return true;
        } else {
            why = "cannot move " + file + " to " + target + ": " + std::strerror(errno);
        }
        ::unlink(info.c_str());
        return false;
    }
    why = "no free name in " + trash->root;
    return false;
}

}  // namespace vistrel
