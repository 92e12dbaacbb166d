#pragma once
// Scripted headless sessions of the program in a folder of its own: the program beside a
// test skin (screens_skin.skinsrc) and language files, a documents folder to search, a
// settings file and a runtime folder for the single-instance lock; and the dump the script
// step `dump` writes, parsed.

#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "render/geometry.h"
#include "support/test_support.h"

namespace vistrel::test {

struct DumpLine {
    int depth = 0;
    std::string kind;
    std::string id;
    bool visible = false;
    bool enabled = false;
    Rect rect;
    std::optional<std::string> text;
    std::string picture;
    std::string file;     // the picture file a viewer's picture shows
    bool active = false;  // the viewer's picture in front
    // Other "name=value" words of the line (a picture view's "zoom", "fit", "full").
    std::map<std::string, std::string> values;
    double number(const std::string& name) const {
        const auto it = values.find(name);
        return it == values.end() ? 0.0 : std::atof(it->second.c_str());
    }
    Point centre() const { return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}; }
};

struct Dump {
    std::vector<DumpLine> lines;
    int screens = 0;
    // The screen's size as the system shows it, and whether the window is full screen.
    Size window;
    bool full_screen = false;
    // The picture an overlay on top is drawn over; empty without one.
    Size backdrop;

    static Dump parse(const std::string& text);
    // The first line with `id` (of `kind`, when given) on the top screen or below it, last
    // screen first; a test failure when there is none.
    const DumpLine& get(const std::string& id, const std::string& kind = {}) const;
    const DumpLine* find(const std::string& id, const std::string& kind = {}) const;
    // Lines of a kind, and those of them that are visible.
    std::vector<const DumpLine*> all(const std::string& kind) const;
    int visible_count(const std::string& kind) const;
    // The kind of the top screen's root.
    std::string top() const;
    // The file the viewer's picture in front shows; empty when there is none.
    std::string shown_file() const;
    // The first visible line whose text is `text`.
    const DumpLine* with_text(const std::string& text) const;
};

class AppSession {
public:
    // Sets the program up with one language file "english" holding `language` lines
    // ("key=text" each) besides the usual keys.
    explicit AppSession(const std::vector<std::string>& language = {});

    std::string app() const { return m_dir.file("app"); }
    std::string documents() const { return m_dir.file("documents"); }
    std::string file(const std::string& name) const { return m_dir.file(name); }
    // A further language file `name`.lng.
    void add_language(const std::string& name, const std::vector<std::string>& lines);
    // A folder of `count` JPEG pictures (small unless `size` is given) below the documents
    // folder.
    std::vector<std::string> add_pictures(const std::string& folder, int count, int pattern = 0,
                                          Size size = {96, 72});

    // Runs the program on `script` (steps, one a line); returns its exit status.
    int run(const std::string& script, const std::vector<std::string>& options = {}) const;
    // The same without waiting; returns the process id.
    int start(const std::string& script, const std::vector<std::string>& options = {}) const;
    // Reads a dump the script wrote to file(name).
    Dump dump(const std::string& name) const;
    std::vector<std::string> command(const std::string& script,
                                     const std::vector<std::string>& options) const;

private:
    TempDir m_dir;
    ScopedEnv m_settings;
    ScopedEnv m_documents;
    ScopedEnv m_cards;
    ScopedEnv m_runtime;
    ScopedEnv m_trash;  // deleted pictures go to the session's own trash
    int m_pictures_made = 0;
};

// Waits for a process started with AppSession::start; its exit status, or -1.
int wait_for(int pid);

// UTF-16LE with a byte-order mark, one "key=text" a line.
std::string language_file(const std::vector<std::string>& lines);

}  // namespace vistrel::test
