// The frame loop of GameBase: the frame steps of both modes and the rests between them.
#include "shell/game_base.h"

#include <algorithm>
#include <cmath>

#include "render/surface.h"
#include "shell/application.h"
#include "shell/idle_probes.h"
#include "shell/script.h"

namespace vistrel {

namespace {

double clamp_step(uint32_t now, uint32_t last) {
    const double dt = static_cast<int32_t>(now - last) * 0.001;
    return std::clamp(dt, 0.001, 0.1);
}

}  // namespace

void GameBase::windowed_frame_step() {
    const uint64_t cpu = FrameStats::thread_cpu_us();
    const uint64_t drawn = m_frames_drawn;
    const bool rested = m_resting;
    ++m_frame_steps;
    update_screens(kFramePeriodMs);
    // A still screen is not drawn again.
    if (m_application.needs_redraw(true)) paint();
    m_stats.add_step(FrameStats::thread_cpu_us() - cpu, m_frames_drawn != drawn);
    rest_windowed();
    // The frames go on at their rate after a rest.
    if (rested && !m_resting) window().set_timer(kFrameTimer, kFramePeriodMs);
}

void GameBase::update_screens(uint32_t period) {
    const uint32_t tick = now();
    const uint32_t last = m_last_frame_tick;
    m_last_frame_tick = tick;
    if (!m_resting) {
        m_application.update(clamp_step(tick, last));
        return;
    }
    m_resting = false;
    const double rested =
        std::clamp(static_cast<int32_t>(tick - last) * 0.001, 0.001, kLongestRestSeconds);
    const double step = std::min(rested, period * 0.001);
    double catch_up = rested - step;
    // A wake later than the screens' change loses the lateness, as a long frame does: what
    // the change starts moves from the change's step on.
    if (m_rest_change)
        catch_up = std::min(catch_up, static_cast<int32_t>(*m_rest_change - last) * 0.001 - step);
    if (catch_up > 0) m_application.update(catch_up);
    m_application.update(step);
}

bool GameBase::may_rest(uint32_t period, std::optional<uint32_t>& until) {
    until.reset();
    const uint32_t tick = now();
    bool still = true;
    if (const std::optional<double> seconds = m_application.seconds_to_change()) {
        const double ms = std::ceil(std::min(*seconds, kLongestRestSeconds) * 1000);
        if (ms <= period) still = false;
        until = tick + static_cast<uint32_t>(ms);
    }
    m_rest_change = until;
    // A script waiting for a time ends the rest then.
    std::optional<uint32_t> due;
    if (still && script_wants_frames(period, due)) still = false;
    if (still && due && (!until || static_cast<int32_t>(*due - *until) < 0)) until = due;
    // Work on other threads hands its results to the screens at their frame steps.
    if (still) still = IdleProbes::global().all_idle();
    m_still_steps = still ? m_still_steps + 1 : 0;
    return m_still_steps >= kStillStepsBeforeRest;
}

bool GameBase::script_wants_frames(uint32_t period, std::optional<uint32_t>& due) {
    due.reset();
    if (!m_script || m_script->finished()) return false;
    due = m_script->next_due();
    return !due || static_cast<int32_t>(*due - now()) <= static_cast<int32_t>(period);
}

void GameBase::rest_windowed() {
    std::optional<uint32_t> until;
    if (!may_rest(kFramePeriodMs, until)) return;
    m_resting = true;
    if (until)
        window().set_timer(kFrameTimer, *until - now());
    else
        window().kill_timer(kFrameTimer);
}

void GameBase::end_rest() {
    if (!m_resting) return;
    if (!m_inactive) {
        if (m_display)
            direct_frame_step();
        else
            windowed_frame_step();
    }
    m_resting = false;
    m_still_steps = 0;
    if (!m_display) window().set_timer(kFrameTimer, kFramePeriodMs);
}

void GameBase::paint() {
    const ScreenArea info = client_area();
    const Size size{info.client_width, info.client_height};
    if (size.empty()) return;
    if (m_back_buffer.size() != size) m_back_buffer.resize(size);
    if (!m_back_buffer.bitmap()) return;
    Surface surface(m_back_buffer.bitmap());
    m_application.draw_frame(surface);
    ++m_frames_drawn;
    window().paint(*m_back_buffer.bitmap(), {info.client_left, info.client_top});
}

void GameBase::direct_frame_step() {
    const uint64_t cpu = FrameStats::thread_cpu_us();
    const bool drawn = direct_frame();
    m_stats.add_step(FrameStats::thread_cpu_us() - cpu, drawn);
}

bool GameBase::direct_frame() {
    ++m_frame_steps;
    update_screens(kDirectPollMs);
    if (!m_application.needs_redraw(true) || !m_display || !m_display->begin_frame()) return false;
    Bitmap* frame = m_display->back_buffer();
    if (!frame) return false;
    Surface surface(frame);
    m_application.draw_frame(surface);
    ++m_frames_drawn;
    m_display->present(0);
    return true;
}

void GameBase::run() {
    Window& w = window();
    for (;;) {
        if (m_script) {
            m_script->pump(*this);
            std::optional<uint32_t> due;
            if (m_resting && script_wants_frames(m_display ? kDirectPollMs : kFramePeriodMs, due))
                end_rest();
        }
        WindowMessage message;
        if (m_inactive || !m_display) {
            std::optional<uint32_t> deadline;
            if (m_script) deadline = m_script->next_due();
            if (!w.get_message(message, deadline)) continue;
        } else if (!w.peek_message(message)) {
            direct_frame_step();
            std::optional<uint32_t> until;
            if (!may_rest(kDirectPollMs, until)) {
                w.sleep(kDirectPollMs);
                continue;
            }
            m_resting = true;
            if (!w.get_message(message, until)) continue;
        }
        if (message.kind == MessageKind::Quit) break;
        // The frame timer's message is the end of a windowed rest itself.
        if (message.kind != MessageKind::Timer || message.code != kFrameTimer) end_rest();
        w.dispatch(message);
    }
}

}  // namespace vistrel
