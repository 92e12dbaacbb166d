#include "shell/monkey.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "shell/application.h"
#include "shell/frame_stats.h"
#include "shell/game_base.h"
#include "shell/key_codes.h"

namespace vistrel {

namespace {

// The running session, for `note`.
std::atomic<MonkeyPlayer*> g_session{nullptr};

// The keys a user presses, arrows and Enter more often than the rest.
constexpr KeyCode kKeys[] = {
    key::Left,       key::Right, key::Up,          key::Down,    key::Left,     key::Right,
    key::Up,         key::Down,  key::Enter,       key::Enter,   key::SoftLeft, key::SoftRight,
    key::Backspace,  key::Space, key::Del,         key::Home,    key::End,      key::PageUp,
    key::PageDown,   key::Tab,   key::ContextMenu, key::Star,    key::Pound,    key::Digit0,
    key::Digit0 + 5, key::A,     key::CallMake,    key::CallEnd, key::VolumeUp, key::VolumeDown,
};

using Action = MonkeyPlayer::Action;

// What a step does, with its weight out of the sum of weights.
constexpr struct {
    Action action;
    uint32_t weight;
} kActions[] = {
    {Action::TapInput, 34}, {Action::TapAnywhere, 8}, {Action::DoubleTap, 6},
    {Action::LongPress, 3}, {Action::Drag, 8},        {Action::Fling, 8},
    {Action::Key, 22},      {Action::Rotate, 2},      {Action::Wait, 9},
};

}  // namespace

uint32_t MonkeyRandom::below(uint32_t count) {
    if (count == 0) return 0;
    // Rejects the top of the engine's range that does not divide evenly, so every result
    // is equally likely.
    const uint64_t range = uint64_t(1) << 32;
    const uint64_t limit = range - range % count;
    for (;;) {
        const uint64_t value = m_engine();
        if (value < limit) return static_cast<uint32_t>(value % count);
    }
}

int MonkeyRandom::between(int low, int high) {
    if (high <= low) return low;
    return low + static_cast<int>(below(static_cast<uint32_t>(int64_t(high) - low + 1)));
}

std::unique_ptr<MonkeyPlayer> MonkeyPlayer::open(const MonkeyOptions& options, std::string& error) {
    std::FILE* file = stderr;
    if (!options.log.empty()) {
        file = std::fopen(options.log.c_str(), "w");
        if (!file) {
            error = "cannot write the session log " + options.log;
            return nullptr;
        }
    }
    return std::unique_ptr<MonkeyPlayer>(new MonkeyPlayer(options, file, file != stderr));
}

MonkeyPlayer::MonkeyPlayer(const MonkeyOptions& options, std::FILE* file, bool owned)
    : m_options(options), m_file(file), m_owned(owned), m_random(options.seed) {
    // Only keys the window can send (those with a virtual key) take part.
    for (KeyCode code : kKeys) {
        const std::string name(key_name(code));
        Script script;
        std::string error;
        if (!name.empty() && parse_script("key " + name, script, error)) m_keys.push_back(name);
    }
    write("# monkey: seed " + std::to_string(options.seed) + ", " + std::to_string(options.steps) +
          " steps");
    g_session = this;
    m_watch = std::thread([this] { watch(); });
}

MonkeyPlayer::~MonkeyPlayer() {
    {
        std::scoped_lock lock(m_watch_mutex);
        m_watch_stop = true;
    }
    m_watch_wake.notify_all();
    m_watch.join();
    MonkeyPlayer* self = this;
    g_session.compare_exchange_strong(self, nullptr);
    if (m_owned) std::fclose(m_file);
}

void MonkeyPlayer::note(std::string_view line) {
    if (MonkeyPlayer* session = g_session) session->write("# " + std::string(line));
}

void MonkeyPlayer::write(const std::string& line) {
    std::scoped_lock lock(m_write_mutex);
    std::fputs(line.c_str(), m_file);
    std::fputc('\n', m_file);
    std::fflush(m_file);
}

void MonkeyPlayer::watch() {
    std::unique_lock lock(m_watch_mutex);
    uint64_t seen = m_progress;
    auto last_change = std::chrono::steady_clock::now();
    while (!m_watch_stop) {
        m_watch_wake.wait_for(lock, std::chrono::seconds(1));
        const uint64_t now_seen = m_progress;
        const auto now = std::chrono::steady_clock::now();
        if (now_seen != seen) {
            seen = now_seen;
            last_change = now;
        } else if (!m_watch_stop && now - last_change > std::chrono::seconds(kStallSeconds)) {
            write("# monkey: no progress for " + std::to_string(kStallSeconds) + " s after step " +
                  std::to_string(m_played) + " (seed " + std::to_string(m_options.seed) +
                  "): a hang");
            std::fprintf(stderr, "vistrel: the random session hangs after step %llu\n",
                         static_cast<unsigned long long>(m_played));
            std::_Exit(kStallStatus);
        }
    }
}

bool MonkeyPlayer::start_again() {
    m_application = nullptr;
    m_pending.clear();
    m_settled = false;
    if (m_failed || m_played >= m_options.steps) return false;
    if (m_starts > 0) {
        if (m_played == m_played_at_start) {
            write("# monkey: the program ended without playing a step");
            m_failed = true;
            return false;
        }
        write("# monkey: the program ended after step " + std::to_string(m_played) +
              "; it starts again");
    }
    ++m_starts;
    m_played_at_start = m_played;
    return true;
}

void MonkeyPlayer::attach(Application& application, ScriptPlayer& player) {
    m_application = &application;
    player.set_source([this](ScriptStep& step) { return next(step); });
}

bool MonkeyPlayer::next(ScriptStep& step) {
    ++m_progress;
    if (m_pending.empty()) {
        if (m_failed || m_played >= m_options.steps) return false;
        if (!m_application) {
            write("# monkey: no program to play on at step " + std::to_string(m_played + 1));
            m_failed = true;
            return false;
        }
        if (!m_settled) {
            // Before each step the session waits (in real time, at most kSettleMs) until the
            // background work is done and nothing moves; the step is made after that, from
            // what the screen shows then, so it does not depend on how fast the machine is.
            ScriptStep settle;
            settle.kind = ScriptStep::Kind::Settle;
            settle.amount = kSettleMs;
            write("settle " + std::to_string(kSettleMs));
            m_pending.push_back(settle);
            m_settled = true;
        } else {
            m_settled = false;
            ++m_played;
            make_step();
        }
        if (m_pending.empty()) return false;
    }
    step = std::move(m_pending.front());
    m_pending.pop_front();
    return true;
}

bool MonkeyPlayer::finish() {
    if (m_finished) return !m_failed;
    m_finished = true;
    if (m_played < m_options.steps && !m_failed) {
        write("# monkey: the session ended after step " + std::to_string(m_played));
        m_failed = true;
    }
    write("# monkey: played " + std::to_string(m_played) + " steps, peak memory " +
          std::to_string(FrameStats::peak_resident_bytes() / 1024) + " kB");
    return !m_failed;
}

// The steps are made as script lines: the log shows them, and it plays again as a script.
void MonkeyPlayer::make_step() {
    uint32_t total = 0;
    for (const auto& entry : kActions)
        total += entry.weight;
    uint32_t pick = m_random.below(total);
    Action action = Action::Wait;
    for (const auto& entry : kActions) {
        if (pick < entry.weight) {
            action = entry.action;
            break;
        }
        pick -= entry.weight;
    }
    std::string what;
    std::string lines;
    switch (action) {
        case Action::TapInput:
            tap_input(what, lines);
            break;
        case Action::TapAnywhere:
        case Action::DoubleTap:
        case Action::LongPress:
            tap_anywhere(action, what, lines);
            break;
        case Action::Drag:
        case Action::Fling:
            drag(action == Action::Fling, what, lines);
            break;
        case Action::Key:
            press_key(what, lines);
            break;
        case Action::Rotate:
            what = "rotate";
            lines = "rotate " + std::to_string(m_random.between(0, 3)) + "\n";
            break;
        case Action::Wait: {
            // Now and then long enough for a slide show to move on.
            const bool long_wait = m_random.below(5) == 0;
            what = "wait";
            lines = "wait " +
                    std::to_string(long_wait ? m_random.between(1000, 8000)
                                             : m_random.between(40, 600)) +
                    "\n";
            break;
        }
    }
    // A frame or a few to take the input in before the next step.
    if (action != Action::Wait)
        lines += "wait " + std::to_string(kFramePeriodMs * uint32_t(m_random.between(1, 4))) + "\n";
    play(what, lines);
}

void MonkeyPlayer::play(const std::string& what, const std::string& lines) {
    write("# step " + std::to_string(m_played) + ": " + what);
    write(lines.substr(0, lines.size() - 1));
    Script script;
    std::string error;
    if (!parse_script(lines, script, error)) {
        write("# monkey: step " + std::to_string(m_played) + " does not play: " + error);
        m_failed = true;
        return;
    }
    for (ScriptStep& step : script.steps)
        m_pending.push_back(std::move(step));
}

Point MonkeyPlayer::anywhere() {
    const ScreenArea area = m_application->client_area();
    return {m_random.between(0, std::max(0, area.client_width - 1)),
            m_random.between(0, std::max(0, area.client_height - 1))};
}

std::string MonkeyPlayer::screen_point(Point client) const {
    Window& window = m_application->window();
    const ScreenArea area = m_application->client_area();
    const Size size = window.screen_size();
    // Client to the system's screen, then back through the turn the window applies to
    // what the panel reports.
    const int x = client.x + area.client_left, y = client.y + area.client_top;
    Point p{x, y};
    switch (window.system_orientation() & 3) {
        case 1:
            p = {y, size.w - x - 1};
            break;
        case 2:
            p = {size.w - x - 1, size.h - y - 1};
            break;
        case 3:
            p = {size.h - y - 1, x};
            break;
        default:
            break;
    }
    return std::to_string(p.x) + " " + std::to_string(p.y);
}

void MonkeyPlayer::tap_input(std::string& what, std::string& lines) {
    const ScreenArea area = m_application->client_area();
    const Screen* top = m_application->top_screen();
    const std::vector<Rect> all = top ? top->input_rects() : std::vector<Rect>{};
    std::vector<Rect> rects;
    for (const Rect& r : all) {
        const Rect on{std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, area.client_width),
                      std::min(r.bottom, area.client_height)};
        if (!on.empty()) rects.push_back(on);
    }
    if (rects.empty()) {
        tap_anywhere(Action::TapAnywhere, what, lines);
        return;
    }
    const uint32_t index = m_random.below(uint32_t(rects.size()));
    const Rect& r = rects[index];
    const Point at{m_random.between(r.left, r.right - 1), m_random.between(r.top, r.bottom - 1)};
    what = "tap on input " + std::to_string(index + 1) + " of " + std::to_string(rects.size());
    lines = "tap " + screen_point(at) + "\n";
}

void MonkeyPlayer::tap_anywhere(Action action, std::string& what, std::string& lines) {
    const std::string at = screen_point(anywhere());
    if (action == Action::DoubleTap) {
        what = "double tap";
        lines = "tap " + at + "\nwait " + std::to_string(m_random.between(40, 200)) + "\ntap " +
                at + "\n";
    } else if (action == Action::LongPress) {
        what = "long press";
        lines = "drag " + at + " " + at + " " + std::to_string(m_random.between(600, 1500)) + "\n";
    } else {
        what = "tap";
        lines = "tap " + at + "\n";
    }
}

void MonkeyPlayer::drag(bool fast, std::string& what, std::string& lines) {
    const ScreenArea area = m_application->client_area();
    const Point from = anywhere();
    Point to = anywhere();
    if (fast) {
        // Mostly along one axis, far and quick, now and then past the edge.
        const int reach = std::max(area.client_width, area.client_height);
        const int length = m_random.between(reach / 3, reach);
        const int sign = m_random.below(2) ? 1 : -1;
        to = from;
        if (m_random.below(2))
            to.x += sign * length;
        else
            to.y += sign * length;
        to.x = std::clamp(to.x, -8, area.client_width + 8);
        to.y = std::clamp(to.y, -8, area.client_height + 8);
    }
    const int ms = fast ? m_random.between(30, 120) : m_random.between(150, 900);
    what = fast ? "fling" : "drag";
    lines = "drag " + screen_point(from) + " " + screen_point(to) + " " + std::to_string(ms) + "\n";
}

void MonkeyPlayer::press_key(std::string& what, std::string& lines) {
    if (m_keys.empty()) return tap_anywhere(Action::TapAnywhere, what, lines);
    const std::string& name = m_keys[m_random.below(uint32_t(m_keys.size()))];
    if (m_random.below(8) == 0) {
        what = "key held";
        lines = "key " + name + " down\nwait " + std::to_string(m_random.between(400, 1500)) +
                "\nkey " + name + " up\n";
    } else {
        what = "key";
        lines = "key " + name + "\n";
    }
}

}  // namespace vistrel
