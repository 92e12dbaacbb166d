#include "app_session.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "jpeg_samples.h"
#include "platform/text.h"
#include "skin_test_support.h"

extern char** environ;

namespace vistrel::test {

namespace fs = std::filesystem;

namespace {

// The block pictures of the test skin; "frame" lets the photo through (opaque flag).
void write_skin_pictures(const std::string& folder) {
    write_picture(folder + "/frame", 8, 4, 0xC638 | 0x0020);
    write_picture(folder + "/loading", 8, 4, 0x52D1 | 0x0020);
    write_picture(folder + "/bad", 8, 4, 0xC945 | 0x0020);
    write_picture(folder + "/warning", 8, 4, 0xE645 | 0x0020);
}

bool flag(const std::string& word, const char* name, bool& out) {
    const std::string prefix = std::string(name) + "=";
    if (word.rfind(prefix, 0) != 0) return false;
    out = word.substr(prefix.size()) == "1";
    return true;
}

}  // namespace

std::string language_file(const std::vector<std::string>& lines) {
    std::u16string text = u"\uFEFF";
    for (const std::string& line : lines)
        text += from_utf8(line) + u"\r\n";
    std::string bytes;
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

AppSession::AppSession(const std::vector<std::string>& language)
    : m_settings("VISTREL_SETTINGS", m_dir.file("settings.reg")),
      m_documents("VISTREL_DOCUMENTS", m_dir.file("documents")),
      m_cards("VISTREL_CARDS", ""),
      m_runtime("XDG_RUNTIME_DIR", m_dir.file("runtime")),
      m_trash("XDG_DATA_HOME", m_dir.file("data")) {
    fs::create_directories(app() + "/skins/bin");
    fs::create_directories(documents());
    fs::create_directories(file("runtime"));
    // The single-instance files go only into a folder others cannot reach.
    fs::permissions(file("runtime"), fs::perms::owner_all, fs::perm_options::replace);
    std::error_code error;
    fs::create_hard_link(VISTREL_PROGRAM, app() + "/vistrel", error);
    if (error) fs::copy_file(VISTREL_PROGRAM, app() + "/vistrel");
    const std::string source = read_file_bytes(VISTREL_SCREENS_SKIN);
    if (source.empty()) ADD_FAILURE() << "cannot read " << VISTREL_SCREENS_SKIN;
    const std::vector<uint8_t> skin = compile_source(source);
    write_file(app() + "/skins/bin/default.skin", std::string(skin.begin(), skin.end()));
    write_skin_pictures(app() + "/skins/bin");
    std::vector<std::string> lines = {"AppName=Vistrel", "WARNING_MESSAGE=No albums yet",
                                      "Albums=Albums", "Cancel=Cancel", "Language=Language"};
    lines.insert(lines.end(), language.begin(), language.end());
    write_file(app() + "/english.lng", language_file(lines));
}

void AppSession::add_language(const std::string& name, const std::vector<std::string>& lines) {
    write_file(app() + "/" + name + ".lng", language_file(lines));
}

std::vector<std::string> AppSession::add_pictures(const std::string& folder, int count,
                                                  int pattern, Size size) {
    const std::string path = documents() + "/" + folder;
    fs::create_directories(path);
    std::vector<std::string> pictures;
    for (int i = 0; i < count; ++i) {
        JpegOptions options;
        options.width = size.w;
        options.height = size.h;
        options.pattern = (pattern + i) % 4;
        char name[32];
        std::snprintf(name, sizeof name, "/p%03d.jpg", i);
        write_bytes(path + name, make_jpeg(options));
        // Cache files are named after size and time: every picture gets a time of its own.
        const time_t when = 1600000000 + time_t(m_pictures_made++) * 61;
        const timespec times[2] = {{when, 0}, {when, 0}};
        utimensat(AT_FDCWD, (path + name).c_str(), times, 0);
        pictures.push_back(path + name);
    }
    return pictures;
}

std::vector<std::string> AppSession::command(const std::string& script,
                                             const std::vector<std::string>& options) const {
    const std::string script_file =
        file("script-" + std::to_string(std::hash<std::string>()(script)) + ".txt");
    write_file(script_file, script);
    std::vector<std::string> args = {app() + "/vistrel", "--headless", "--screen",
                                     "240x320",          "--dpi",      "96"};
    args.insert(args.end(), {"--script", script_file});
    args.insert(args.end(), options.begin(), options.end());
    return args;
}

int AppSession::start(const std::string& script, const std::vector<std::string>& options) const {
    const std::vector<std::string> args = command(script, options);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    return pid;
}

int AppSession::run(const std::string& script, const std::vector<std::string>& options) const {
    return wait_for(start(script, options));
}

int wait_for(int pid) {
    if (pid <= 0) return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Dump AppSession::dump(const std::string& name) const {
    return Dump::parse(read_file_bytes(file(name)));
}

namespace {

// Takes ` NAME="VALUE"` (backslash escapes undone) out of a dump line.
std::optional<std::string> take_quoted(std::string& line, const std::string& name) {
    const size_t at = line.find(" " + name + "=\"");
    if (at == std::string::npos) return std::nullopt;
    std::string value;
    size_t i = at + name.size() + 3;
    for (; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) ++i;
        value += line[i];
    }
    line.erase(at, std::min(line.size(), i + 1) - at);
    return value;
}

}  // namespace

Dump Dump::parse(const std::string& text) {
    Dump dump;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("screen ", 0) == 0) {
            ++dump.screens;
            if (const size_t at = line.find(" backdrop="); at != std::string::npos)
                std::sscanf(line.c_str() + at, " backdrop=%dx%d", &dump.backdrop.w,
                            &dump.backdrop.h);
            continue;
        }
        if (line.rfind("window ", 0) == 0) {
            std::sscanf(line.c_str(), "window %dx%d", &dump.window.w, &dump.window.h);
            dump.full_screen = line.find("full_screen=1") != std::string::npos;
            continue;
        }
        DumpLine out;
        const size_t first = line.find_first_not_of(' ');
        if (first == std::string::npos) continue;
        out.depth = static_cast<int>(first / 2);
        std::string rest = line.substr(first);
        out.text = take_quoted(rest, "text");
        if (auto file = take_quoted(rest, "file")) out.file = *file;
        std::istringstream words(rest);
        words >> out.kind;
        std::string word;
        while (words >> word) {
            if (word.rfind("id=", 0) == 0) {
                out.id = word.substr(3);
            } else if (word.rfind("picture=", 0) == 0) {
                out.picture = word.substr(8);
            } else if (word.rfind("rect=", 0) == 0) {
                int x = std::stoi(word.substr(5)), y = 0, w = 0, h = 0;
                words >> y >> w >> h;
                out.rect = {x, y, x + w, y + h};
            } else if (!flag(word, "visible", out.visible) && !flag(word, "active", out.active) &&
                       !flag(word, "enabled", out.enabled)) {
                if (const size_t eq = word.find('='); eq != std::string::npos)
                    out.values[word.substr(0, eq)] = word.substr(eq + 1);
            }
        }
        out.depth += dump.screens * 1000;  // lines of later screens sort after
        dump.lines.push_back(std::move(out));
    }
    return dump;
}

std::string Dump::shown_file() const {
    for (const DumpLine& line : lines)
        if (line.active && line.kind == "bigpicture") return line.file;
    return {};
}

const DumpLine* Dump::find(const std::string& id, const std::string& kind) const {
    // Later screens (the top one) first.
    for (int screen = screens; screen >= 1; --screen)
        for (const DumpLine& line : lines)
            if (line.depth / 1000 == screen && line.id == id && (kind.empty() || line.kind == kind))
                return &line;
    return nullptr;
}

const DumpLine& Dump::get(const std::string& id, const std::string& kind) const {
    const DumpLine* line = find(id, kind);
    if (!line) {
        ADD_FAILURE() << "no element " << id << " " << kind << " in the dump";
        static const DumpLine none;
        return none;
    }
    return *line;
}

std::vector<const DumpLine*> Dump::all(const std::string& kind) const {
    std::vector<const DumpLine*> out;
    for (const DumpLine& line : lines)
        if (line.kind == kind) out.push_back(&line);
    return out;
}

int Dump::visible_count(const std::string& kind) const {
    int count = 0;
    for (const DumpLine& line : lines)
        count += line.kind == kind && line.visible;
    return count;
}

std::string Dump::top() const {
    for (auto it = lines.rbegin(); it != lines.rend(); ++it)
        if (it->depth % 1000 == 1 && it->depth / 1000 == screens) return it->kind;
    return {};
}

const DumpLine* Dump::with_text(const std::string& text) const {
    for (auto it = lines.rbegin(); it != lines.rend(); ++it)
        if (it->visible && it->text && *it->text == text) return &*it;
    return nullptr;
}

}  // namespace vistrel::test
