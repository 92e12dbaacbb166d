#pragma once
// Scripted sessions: a list of input, waiting and screenshot steps that drives the message
// loop. With a simulated clock a script gives the same frames on any machine.
//
//   key NAME [down|up]           a key of the key table (both when neither is given)
//   text STRING                  typed characters (the rest of the line, UTF-8)
//   tap X Y                      a pointer press and release
//   drag X1 Y1 X2 Y2 MS          press, move over MS milliseconds, release
//   wait MS                      let MS milliseconds pass
//   sleep MS                     let MS milliseconds of real time pass while frames go on
//                                (the simulated clock keeps pace), so that what happens
//                                outside the program meanwhile (a file copied in) is seen
//   frames N                     let N frame steps pass
//   shot FILE.png                the frame as the user sees it, as a PNG file
//   rotate N                     turn the device to orientation N (0..3)
//   resize W H                   give the window (the panel) a new size, as a user does
//   wheel X Y N                  N wheel notches at X Y (positive away from the user)
//   dump FILE                    the element trees of the screens on the stack, as text
//   settle [MS]                  wait until the background work is done (in real time, at
//                                most MS, default 10000) and then until nothing moves on
//                                screen (at most kSettleDrawMs of simulated time, for
//                                animations without end)
//   stats FILE [reset]           frame and memory figures, one "name: value unit" a line;
//                                with reset the frame figures then start afresh
//   builds hold|go               holds the start of new cache builds, or lets them go on
//                                (the settings value "HoldBuilds" holds them from the start)
//   quit                         end the session (it also ends after the last step)
//
// Positions and keys are the screen's own, as a user at the device would give them.
// Empty lines and lines starting with "#" are skipped.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "render/geometry.h"

namespace vistrel {

class GameBase;

struct ScriptStep {
    enum class Kind {
        Key, Text, Tap, Drag, Wait, Sleep, Frames, Shot, Rotate, Resize, Wheel, Dump, Settle,
        Stats, Builds, Quit
    };
    Kind kind = Kind::Quit;
    uint32_t virtual_key = 0;
    bool press = true;    // Key: send the press; Builds: hold them; Stats: reset them
    bool release = true;  // Key: send the release
    Point from;
    Point to;
    uint32_t amount = 0;  // milliseconds, frames or orientation
    int32_t notches = 0;  // Wheel
    std::u16string text;
    std::string file;
    int line = 0;
};

struct Script {
    std::vector<ScriptStep> steps;
};

// Parses a script; false with a message naming the line on the first bad step.
bool parse_script(const std::string& source, Script& script, std::string& error);
// Reads and parses a script file (at most 1 MiB).
bool load_script(const std::string& path, Script& script, std::string& error);

class ScriptPlayer {
public:
    // How long a settle lets the screen draw, in simulated time, once the background work
    // is done: an animation that never ends does not hold the session.
    static constexpr uint32_t kSettleDrawMs = 2000;
    // Describes the screens on the stack for the step `dump`.
    using Dumper = std::function<std::string()>;
    // Gives the step after the script's last, made up when it is due; false ends the session.
    using StepSource = std::function<bool(ScriptStep&)>;
    // Holds (true) or lets go the start of new cache builds, for the step `builds`.
    using BuildSwitch = std::function<void(bool hold)>;
    static constexpr uint32_t kDefaultSettleMs = 10000;

    explicit ScriptPlayer(Script script) : m_script(std::move(script)) {}
    void set_dumper(Dumper dumper) { m_dumper = std::move(dumper); }
    // Steps to play once the script's own have run out (a random session plays only these).
    void set_source(StepSource source) { m_source = std::move(source); }
    void set_build_switch(BuildSwitch builds) { m_builds = std::move(builds); }

    // Performs every step that is due now.
    void pump(GameBase& game);
    // When the next step is due; now when one is ready, nothing while waiting for frames
    // or when the script has ended.
    std::optional<uint32_t> next_due() const { return m_next_due; }
    bool finished() const { return m_finished; }
    // True when a screenshot could not be written.
    bool failed() const { return m_failed; }
    int shots_written() const { return m_shots; }

private:
    bool waiting(GameBase& game, uint32_t now);
    bool settling(GameBase& game);
    bool sleeping();
    bool write_text(const ScriptStep& step, const std::string& text);
    void step_drag(GameBase& game, uint32_t now);
    void execute(GameBase& game, const ScriptStep& step, uint32_t now);

    Script m_script;
    size_t m_cursor = 0;
    std::optional<uint32_t> m_wait_until;
    std::optional<std::chrono::steady_clock::time_point> m_sleep_until;
    std::optional<uint64_t> m_frames_until;
    std::optional<uint32_t> m_next_due;
    StepSource m_source;
    // The drag under way.
    std::optional<ScriptStep> m_drag;
    uint32_t m_drag_start = 0;
    // The settle under way: its real-time deadline, the idle checks passed in a row, and the
    // simulated time drawn with the background work done.
    std::optional<std::chrono::steady_clock::time_point> m_settle_until;
    int m_idle_checks = 0;
    uint32_t m_settle_tick = 0;
    uint32_t m_settle_drawing_ms = 0;
    uint64_t m_settle_steps = 0;  // frame steps and frames drawn at the last check
    uint64_t m_settle_drawn = 0;
    Dumper m_dumper;
    BuildSwitch m_builds;
    bool m_finished = false;
    bool m_failed = false;
    int m_shots = 0;
};

}  // namespace vistrel
