#pragma once
// Random sessions: a made-up user who taps what the top screen offers, taps anywhere,
// double-taps, presses long, drags, flings, presses keys, turns the device and waits, for
// a given number of steps. The steps come from a seeded generator whose numbers are the
// same with every standard library, and the session runs on the simulated clock, so a
// seed plays the same steps again. Each step is made after the script step `settle`, so
// that the background work (searches, decoding) is done before the step looks at the
// screen. The session log is a script itself (it plays again with --script): per step the
// settle, a comment naming the step, then its script lines.
//
//   # monkey: seed S, N steps
//   settle 40000
//   # step K: tap on input 3 of 12     (or tap, double tap, long press, drag, fling, key,
//   tap X Y                             key held, rotate, wait)
//   wait 80
//   # deleted PATH                     (a picture the session deleted through its action)
//   # monkey: played N steps, peak memory K kB
//
// A session that makes no progress for a minute of real time (a hang) writes so and ends
// the program with status 3.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "shell/script.h"

namespace vistrel {

class Application;

// Numbers from a seed, the same on every platform: the standard fixes the engine's output,
// and the mappings onto ranges are our own.
class MonkeyRandom {
public:
    explicit MonkeyRandom(uint32_t seed) : m_engine(seed) {}
    // Uniform in [0, count); 0 when count is 0.
    uint32_t below(uint32_t count);
    // Uniform in [low, high]; low when high < low.
    int between(int low, int high);

private:
    std::mt19937 m_engine;
};

struct MonkeyOptions {
    uint32_t seed = 0;
    uint64_t steps = 0;
    std::string log;  // the session log's file; empty for standard error
};

class MonkeyPlayer {
public:
    enum class Action {
        TapInput,
        TapAnywhere,
        DoubleTap,
        LongPress,
        Drag,
        Fling,
        Key,
        Rotate,
        Wait
    };
    static constexpr int kStallSeconds = 60;
    static constexpr int kStallStatus = 3;
    // The real time a settle waits for background work (a large picture's cache under a
    // sanitizer), below the hang watch's minute.
    static constexpr int kSettleMs = 40000;

    // Opens the log; null with a message when it cannot be written.
    static std::unique_ptr<MonkeyPlayer> open(const MonkeyOptions& options, std::string& error);
    ~MonkeyPlayer();
    MonkeyPlayer(const MonkeyPlayer&) = delete;
    MonkeyPlayer& operator=(const MonkeyPlayer&) = delete;

    // Before each start of the program: false once every step has been played, or when the
    // last start played none (the program cannot get as far as taking input).
    bool start_again();
    // Feeds `player` with the session's steps, aimed at `application`'s top screen (until
    // the next start).
    void attach(Application& application, ScriptPlayer& player);
    // The next step; false once every step has been played (or on a failure).
    bool next(ScriptStep& step);
    // Writes the closing line; false when the session failed or did not start.
    bool finish();

    uint64_t played() const { return m_played; }
    bool failed() const { return m_failed; }

    // The session log of the running random session, if any: actions that change the
    // user's files (such as deleting a picture) write a line here, so that a check after the
    // session can tell them from losses.
    static void note(std::string_view line);

private:
    MonkeyPlayer(const MonkeyOptions& options, std::FILE* file, bool owned);
    void write(const std::string& line);
    // Makes one step of the session: its lines go to the log and its script steps to
    // m_pending.
    void make_step();
    void play(const std::string& what, const std::string& lines);
    void tap_input(std::string& what, std::string& lines);
    void tap_anywhere(Action action, std::string& what, std::string& lines);
    void drag(bool fast, std::string& what, std::string& lines);
    void press_key(std::string& what, std::string& lines);
    // A random point of the client area.
    Point anywhere();
    // A client point as "X Y" in the screen's own orientation, as scripts give positions.
    std::string screen_point(Point client) const;
    void watch();

    MonkeyOptions m_options;
    std::FILE* m_file = nullptr;
    bool m_owned = false;
    MonkeyRandom m_random;
    // Whether the step to come had its settle.
    bool m_settled = false;
    std::vector<std::string> m_keys;  // the names of the keys pressed, repeats more often
    Application* m_application = nullptr;
    std::deque<ScriptStep> m_pending;
    std::atomic<uint64_t> m_played{0};
    bool m_failed = false;
    bool m_finished = false;
    int m_starts = 0;
    uint64_t m_played_at_start = 0;
    std::mutex m_write_mutex;
    // The hang watch: a thread that ends the program when m_progress stands still.
    std::atomic<uint64_t> m_progress{0};
    std::mutex m_watch_mutex;
    std::condition_variable m_watch_wake;
    bool m_watch_stop = false;
    std::thread m_watch;
};

}  // namespace vistrel
