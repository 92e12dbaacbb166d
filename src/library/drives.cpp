#include "library/drives.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "library/cache/cache_file.h"
#include "platform/path_parts.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/trace.h"

namespace vistrel {

namespace {

constexpr double kMinimumCardBytes = 1000000.0;

std::string user_name() {
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_name) return pw->pw_name;
    const char* user = std::getenv("USER");
    return user ? user : "";
}

// Mount tables write space, tab, newline and backslash in names as \040 and the like.
std::string decode_octal_escapes(const std::string& text) {
    auto is_octal = [](char c) { return c >= '0' && c <= '7'; };
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '\\' && text.size() - i >= 4 && text[i + 1] <= '3' &&
            is_octal(text[i + 1]) && is_octal(text[i + 2]) && is_octal(text[i + 3])) {
            out.push_back(static_cast<char>((text[i + 1] - '0') << 6 | (text[i + 2] - '0') << 3 |
                                            (text[i + 3] - '0')));
            i += 4;
        } else {
            out.push_back(text[i++]);
        }
    }
    return out;
}

// Whether the card holds the documents folder: the card's path followed by a separator or
// nothing (so /media/usb does not claim /media/usb2/Pictures).
bool holds_documents(const std::u16string& card, const std::u16string& documents) {
    if (!is_prefix_of(card, documents)) return false;
    if (documents.size() == card.size() || card.empty()) return true;
    const char16_t next = documents[card.size()];
    const char16_t last = card.back();
    return is_separator(next) || is_separator(last);
}

}  // namespace

std::vector<std::string> removable_mount_points(const std::string& mounts_table,
                                                const std::vector<std::string>& roots) {
    std::vector<std::string> out;
    std::istringstream lines(mounts_table);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string device, mount_point;
        if (!(fields >> device >> mount_point)) continue;
        mount_point = decode_octal_escapes(mount_point);
        for (const auto& root : roots) {
            if (mount_point.size() > root.size() + 1 &&
                mount_point.compare(0, root.size(), root) == 0 && mount_point[root.size()] == '/') {
                out.push_back(mount_point);
                break;
            }
        }
    }
    return out;
}

std::vector<std::u16string> storage_cards() {
    std::vector<std::u16string> cards;
    if (const char* listed = std::getenv("VISTREL_CARDS")) {
        std::istringstream parts{std::string(listed)};
        std::string part;
        while (std::getline(parts, part, ':'))
            if (!part.empty()) cards.push_back(from_file_name(part));
        return cards;
    }
    std::ifstream in("/proc/self/mounts");
    std::stringstream table;
    table << in.rdbuf();
    std::vector<std::string> roots{"/media", "/mnt"};
    const std::string user = user_name();
    if (!user.empty()) roots.push_back("/run/media/" + user);
    for (const auto& point : removable_mount_points(table.str(), roots))
        cards.push_back(from_file_name(point));
    return cards;
}

bool find_drives(FileVisitor& visitor) {
    const std::u16string mydoc = expand_path(u"%my_documents%");
    trace() << "find_drives: mydoc={" << mydoc << "}\n";
    for (const auto& card : storage_cards()) {
        const auto bytes = total_bytes(card);
        const double size = bytes ? static_cast<double>(*bytes) : 0.0;
        if (holds_documents(card, mydoc) || !(size > kMinimumCardBytes)) {
            trace() << "skipping result={" << card << "}\n";
            continue;
        }
        trace() << "returning result={" << card << "}\n";
        if (!visitor.on_directory(card)) break;
    }
    return true;
}

bool documents_folder_exists() {
    const std::u16string documents = expand_path(u"%my_documents%");
    struct stat st {};
    return !documents.empty() && stat(to_utf8(documents).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool is_excluded_picture(std::u16string_view path) {
    for (std::u16string_view word :
         {std::u16string_view(u"Program Files"), std::u16string_view(u"Windows"),
          std::u16string_view(kCacheFolderName)}) {
        if (path.find(word) != std::u16string_view::npos) return true;
    }
    return false;
}

}  // namespace vistrel
