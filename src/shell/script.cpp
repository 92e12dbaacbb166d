#include "shell/script.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string_view>
#include <thread>

#include "platform/text.h"
#include "render/png_file.h"
#include "shell/application.h"
#include "shell/game_base.h"
#include "shell/idle_probes.h"
#include "shell/key_codes.h"
#include "shell/monkey.h"

namespace vistrel {

namespace {

constexpr size_t kMaxScriptBytes = 1 << 20;
constexpr long kMaxCoordinate = 100000;
constexpr long kMaxMilliseconds = 24L * 3600 * 1000;
constexpr long kMaxFrames = 10000000;
constexpr uint32_t kDragStepMs = 10;

// The virtual key that stands for a key code (the first in the system's numbering).
uint32_t virtual_key_for(KeyCode code) {
    for (uint32_t vk = 1; vk < 256; ++vk)
        if (key_from_virtual_key(vk) == code) return vk;
    return 0;
}

bool parse_number(const std::string& word, long low, long high, long& value) {
    if (word.empty() || word.size() > 12) return false;
    size_t used = 0;
    try {
        value = std::stol(word, &used, 10);
    } catch (...) {
        return false;
    }
    return used == word.size() && value >= low && value <= high;
}

std::vector<std::string> words_of(const std::string& line) {
    std::istringstream in(line);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

// Reads one line (of at least one word) into a step; each verb has a reader of its own.
// On failure `why` tells what is wrong with the line.
class LineReader {
public:
    LineReader(const std::string& line, ScriptStep& step, std::string& why)
        : m_line(line), m_words(words_of(line)), m_step(step), m_why(why) {}

    bool read();

private:
    const std::string& verb() const { return m_words[0]; }
    bool fail(std::string why) {
        m_why = std::move(why);
        return false;
    }
    // Exactly `count` numbers in [low, high] after the verb, into `out`.
    bool numbers(size_t count, long low, long high, long* out);

    bool read_key();
    bool read_text();
    bool read_tap();
    bool read_drag();
    bool read_wait_or_frames();
    bool read_rotate();
    bool read_resize();
    bool read_wheel();
    bool read_shot();
    bool read_quit();
    bool read_dump_or_stats();
    bool read_settle();
    bool read_builds();

    const std::string& m_line;
    const std::vector<std::string> m_words;
    ScriptStep& m_step;
    std::string& m_why;
};

bool LineReader::read() {
    using Reader = bool (LineReader::*)();
    static constexpr struct {
        std::string_view verb;
        Reader read;
    } kVerbs[] = {
        {"key", &LineReader::read_key},
        {"text", &LineReader::read_text},
        {"tap", &LineReader::read_tap},
        {"drag", &LineReader::read_drag},
        {"wait", &LineReader::read_wait_or_frames},
        {"sleep", &LineReader::read_wait_or_frames},
        {"frames", &LineReader::read_wait_or_frames},
        {"rotate", &LineReader::read_rotate},
        {"resize", &LineReader::read_resize},
        {"wheel", &LineReader::read_wheel},
        {"shot", &LineReader::read_shot},
        {"quit", &LineReader::read_quit},
        {"dump", &LineReader::read_dump_or_stats},
        {"settle", &LineReader::read_settle},
        {"stats", &LineReader::read_dump_or_stats},
        {"builds", &LineReader::read_builds},
    };
    for (const auto& entry : kVerbs)
        if (verb() == entry.verb) return (this->*entry.read)();
    return fail("unknown step \"" + verb() + "\"");
}

bool LineReader::numbers(size_t count, long low, long high, long* out) {
    if (m_words.size() != count + 1)
        return fail(verb() + " takes " + std::to_string(count) + " number(s)");
    for (size_t i = 0; i < count; ++i) {
        if (!parse_number(m_words[i + 1], low, high, out[i]))
            return fail("bad number \"" + m_words[i + 1] + "\"");
    }
    return true;
}

bool LineReader::read_key() {
    const std::vector<std::string>& w = m_words;
    if (w.size() < 2 || w.size() > 3) return fail("key takes a name and down or up");
    const auto code = key_from_name(from_utf8(w[1]));
    m_step.virtual_key = code ? virtual_key_for(*code) : 0;
    if (!code || *code == key::None || m_step.virtual_key == 0)
        return fail("unknown key \"" + w[1] + "\"");
    m_step.kind = ScriptStep::Kind::Key;
    if (w.size() == 3) {
        if (w[2] != "down" && w[2] != "up") return fail("key takes down or up");
        m_step.press = w[2] == "down";
        m_step.release = !m_step.press;
    }
    return true;
}

// The rest of the line after "text" and its blanks, as it stands.
bool LineReader::read_text() {
    const size_t start = m_line.find("text") + 4;
    const size_t first = m_line.find_first_not_of(" \t", start);
    if (first == std::string::npos) return fail("text takes a string");
    bool ok = true;
    m_step.text = from_utf8(m_line.substr(first), &ok);
    if (!ok) return fail("text is not UTF-8");
    m_step.kind = ScriptStep::Kind::Text;
    return true;
}

bool LineReader::read_tap() {
    long n[2] = {};
    if (!numbers(2, -kMaxCoordinate, kMaxCoordinate, n)) return false;
    m_step.kind = ScriptStep::Kind::Tap;
    m_step.from = m_step.to = {int(n[0]), int(n[1])};
    return true;
}

bool LineReader::read_drag() {
    long n[5] = {};
    if (!numbers(5, -kMaxCoordinate, kMaxCoordinate, n)) return false;
    if (n[4] < 0 || n[4] > kMaxMilliseconds) return fail("bad duration");
    m_step.kind = ScriptStep::Kind::Drag;
    m_step.from = {int(n[0]), int(n[1])};
    m_step.to = {int(n[2]), int(n[3])};
    m_step.amount = uint32_t(n[4]);
    return true;
}

bool LineReader::read_wait_or_frames() {
    const bool frames = verb() == "frames";
    long n[1] = {};
    if (!numbers(1, 0, frames ? kMaxFrames : kMaxMilliseconds, n)) return false;
    m_step.kind = frames                ? ScriptStep::Kind::Frames
                  : verb() == "sleep" ? ScriptStep::Kind::Sleep
                                      : ScriptStep::Kind::Wait;
    m_step.amount = uint32_t(n[0]);
    return true;
}

bool LineReader::read_rotate() {
    long n[1] = {};
    if (!numbers(1, 0, 3, n)) return false;
    m_step.kind = ScriptStep::Kind::Rotate;
    m_step.amount = uint32_t(n[0]);
    return true;
}

// Any size is taken: the window keeps what it can show.
bool LineReader::read_resize() {
    long n[2] = {};
    if (!numbers(2, 1, kMaxCoordinate, n)) return false;
    m_step.kind = ScriptStep::Kind::Resize;
    m_step.to = {int(n[0]), int(n[1])};
    return true;
}

bool LineReader::read_wheel() {
    long n[3] = {};
    if (!numbers(3, -kMaxCoordinate, kMaxCoordinate, n)) return false;
    if (n[2] == 0 || n[2] < -100 || n[2] > 100) return fail("wheel takes 1 to 100 notches either way");
    m_step.kind = ScriptStep::Kind::Wheel;
    m_step.from = {int(n[0]), int(n[1])};
    m_step.notches = int32_t(n[2]);
    return true;
}

bool LineReader::read_shot() {
    if (m_words.size() != 2) return fail("shot takes one file name");
    m_step.kind = ScriptStep::Kind::Shot;
    m_step.file = m_words[1];
    return true;
}

bool LineReader::read_quit() {
    if (m_words.size() != 1) return fail("quit takes nothing");
    m_step.kind = ScriptStep::Kind::Quit;
    return true;
}

bool LineReader::read_dump_or_stats() {
    const bool stats = verb() == "stats";
    const bool reset = stats && m_words.size() == 3 && m_words[2] == "reset";
    if (m_words.size() != 2 && !reset)
        return fail(verb() + (stats ? " takes one file name and may end in reset" : " takes one file name"));
    m_step.kind = stats ? ScriptStep::Kind::Stats : ScriptStep::Kind::Dump;
    m_step.file = m_words[1];
    m_step.press = reset;
    return true;
}

bool LineReader::read_settle() {
    m_step.kind = ScriptStep::Kind::Settle;
    m_step.amount = ScriptPlayer::kDefaultSettleMs;
    if (m_words.size() == 1) return true;
    long n[1] = {};
    if (!numbers(1, 0, kMaxMilliseconds, n)) return false;
    m_step.amount = uint32_t(n[0]);
    return true;
}

bool LineReader::read_builds() {
    if (m_words.size() != 2 || (m_words[1] != "hold" && m_words[1] != "go"))
        return fail("builds takes hold or go");
    m_step.kind = ScriptStep::Kind::Builds;
    m_step.press = m_words[1] == "hold";
    return true;
}

}  // namespace

bool parse_script(const std::string& source, Script& script, std::string& error) {
    script.steps.clear();
    std::istringstream in(source);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        ScriptStep step;
        step.line = number;
        std::string why;
        if (!LineReader(line, step, why).read()) {
            error = "line " + std::to_string(number) + ": " + why;
            return false;
        }
        script.steps.push_back(std::move(step));
    }
    return true;
}

bool load_script(const std::string& path, Script& script, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot read " + path;
        return false;
    }
    std::string source;
    char buffer[4096];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        source.append(buffer, size_t(file.gcount()));
        if (source.size() > kMaxScriptBytes) {
            error = path + " is too large for a script";
            return false;
        }
    }
    return parse_script(source, script, error);
}

bool ScriptPlayer::waiting(GameBase& game, uint32_t now) {
    if (m_settle_until && settling(game)) return true;
    if (m_sleep_until && sleeping()) return true;
    if (m_wait_until && static_cast<int32_t>(now - *m_wait_until) < 0) return true;
    if (m_frames_until && game.frame_steps() < *m_frames_until) return true;
    m_wait_until.reset();
    m_frames_until.reset();
    return false;
}

// Still settling: the background work goes on, or frames are still drawn. Idle counts
// only when seen after a few frame steps in a row that drew nothing, so that animations
// have ended and the events the work left are delivered.
bool ScriptPlayer::settling(GameBase& game) {
    constexpr int kChecksInARow = 3;
    if (std::chrono::steady_clock::now() >= *m_settle_until) {
        // A random session notes it: the steps after it may not play the same again.
        MonkeyPlayer::note("# settle: the background work went on past the time limit");
        m_settle_until.reset();
        return false;
    }
    if (game.frame_steps() != m_settle_steps) {
        m_settle_steps = game.frame_steps();
        const bool still = game.frames_drawn() == m_settle_drawn;
        m_settle_drawn = game.frames_drawn();
        const uint32_t tick = game.window().clock().now();
        const uint32_t passed = tick - m_settle_tick;
        m_settle_tick = tick;
        const bool background_done = IdleProbes::global().all_idle();
        // Only time drawn with the background work done counts towards the bound, so that
        // how long that work takes in real time does not change where the session goes.
        if (background_done) m_settle_drawing_ms += passed;
        const bool idle = still && background_done && !game.application().needs_redraw(false);
        m_idle_checks = idle ? m_idle_checks + 1 : 0;
        if (m_idle_checks >= kChecksInARow || m_settle_drawing_ms >= kSettleDrawMs) {
            m_settle_until.reset();
            return false;
        }
    }
    // Leave the processor to the workers for a moment; frames go on meanwhile.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

// Still sleeping: each frame step waits as long in real time as it moves the simulated
// clock on, so both clocks keep roughly the same pace.
bool ScriptPlayer::sleeping() {
    if (std::chrono::steady_clock::now() >= *m_sleep_until) {
        m_sleep_until.reset();
        return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kDirectPollMs));
    return true;
}

bool ScriptPlayer::write_text(const ScriptStep& step, const std::string& text) {
    std::ofstream out(step.file, std::ios::binary | std::ios::trunc);
    out << text;
    if (out.good()) return true;
    std::fprintf(stderr, "vistrel: line %d: cannot write %s\n", step.line, step.file.c_str());
    m_failed = true;
    return false;
}

void ScriptPlayer::pump(GameBase& game) {
    Window& window = game.window();
    while (!m_finished) {
        const uint32_t now = window.clock().now();
        if (waiting(game, now)) break;
        if (m_drag) {
            step_drag(game, now);
            continue;
        }
        if (m_cursor >= m_script.steps.size()) {
            ScriptStep made;
            if (m_source && m_source(made)) {
                execute(game, made, now);
                continue;
            }
            execute(game, ScriptStep{}, now);  // the end is a quit
            break;
        }
        execute(game, m_script.steps[m_cursor++], now);
    }
    if (m_settle_until || m_sleep_until)
        m_next_due = window.clock().now();
    else if (m_finished || m_frames_until)
        m_next_due.reset();
    else
        m_next_due = m_wait_until ? *m_wait_until : window.clock().now();
}

void ScriptPlayer::step_drag(GameBase& game, uint32_t now) {
    Window& window = game.window();
    const ScriptStep& drag = *m_drag;
    const uint32_t elapsed = now - m_drag_start;
    if (elapsed >= drag.amount) {
        window.native_pointer(MessageKind::PointerMove, drag.to);
        window.native_pointer(MessageKind::ButtonUp, drag.to);
        m_drag.reset();
        return;
    }
    const double t = double(elapsed) / drag.amount;
    const Point at{drag.from.x + int((drag.to.x - drag.from.x) * t),
                   drag.from.y + int((drag.to.y - drag.from.y) * t)};
    window.native_pointer(MessageKind::PointerMove, at);
    m_wait_until = std::min(now + kDragStepMs, m_drag_start + drag.amount);
}

void ScriptPlayer::execute(GameBase& game, const ScriptStep& step, uint32_t now) {
    Window& window = game.window();
    switch (step.kind) {
        case ScriptStep::Kind::Key:
            if (step.press) window.native_key(step.virtual_key, true, false);
            if (step.release) window.native_key(step.virtual_key, false, false);
            break;
        case ScriptStep::Kind::Text:
            window.native_text(step.text);
            break;
        case ScriptStep::Kind::Tap:
            window.native_pointer(MessageKind::ButtonDown, step.from);
            window.native_pointer(MessageKind::ButtonUp, step.from);
            break;
        case ScriptStep::Kind::Drag:
            window.native_pointer(MessageKind::ButtonDown, step.from);
            m_drag = step;
            m_drag_start = now;
            m_wait_until = now + std::min(kDragStepMs, step.amount);
            break;
        case ScriptStep::Kind::Wait:
            m_wait_until = now + step.amount;
            break;
        case ScriptStep::Kind::Sleep:
            m_sleep_until =
                std::chrono::steady_clock::now() + std::chrono::milliseconds(step.amount);
            break;
        case ScriptStep::Kind::Frames:
            m_frames_until = game.frame_steps() + step.amount;
            break;
        case ScriptStep::Kind::Shot:
            if (write_png(game.shown_screen(), from_utf8(step.file))) {
                ++m_shots;
            } else {
                std::fprintf(stderr, "vistrel: line %d: cannot write %s\n", step.line,
                             step.file.c_str());
                m_failed = true;
            }
            break;
        case ScriptStep::Kind::Rotate:
            window.set_system_orientation(int(step.amount));
            break;
        case ScriptStep::Kind::Resize:
            window.resize_screen({step.to.x, step.to.y});
            break;
        case ScriptStep::Kind::Wheel:
            window.native_wheel(step.from, step.notches);
            break;
        case ScriptStep::Kind::Dump:
            write_text(step, m_dumper ? m_dumper() : std::string());
            break;
        case ScriptStep::Kind::Settle:
            m_settle_until =
                std::chrono::steady_clock::now() + std::chrono::milliseconds(step.amount);
            m_idle_checks = 0;
            m_settle_tick = now;
            m_settle_drawing_ms = 0;
            m_settle_steps = game.frame_steps();
            m_settle_drawn = game.frames_drawn();
            break;
        case ScriptStep::Kind::Stats:
            write_text(step, game.stats().report());
            if (step.press) game.reset_stats();
            break;
        case ScriptStep::Kind::Builds:
            if (m_builds) m_builds(step.press);
            break;
        case ScriptStep::Kind::Quit: {
            WindowMessage message;
            message.kind = MessageKind::Quit;
            window.post_message(std::move(message));
            m_finished = true;
            break;
        }
    }
}

}  // namespace vistrel
