#pragma once
// Figures about the frames the user-interface thread makes, for the script step `stats`:
// frames drawn, the thread's processor time per drawn frame (update and drawing), and the
// process's peak resident memory.

#include <cstdint>
#include <string>
#include <vector>

namespace vistrel {

class FrameStats {
public:
    // Processor time the calling thread has used, in microseconds.
    static uint64_t thread_cpu_us();
    // The process's peak resident memory in bytes.
    static uint64_t peak_resident_bytes();

    // One frame step that took `cpu_us` of processor time and drew or not.
    void add_step(uint64_t cpu_us, bool drawn);
    uint64_t frames_drawn() const { return m_drawn; }
    uint64_t steps() const { return m_steps; }
    // Processor time of the drawn frames at a quantile (0..1), in milliseconds; 0 without
    // frames. The maximum covers every step, drawn or not.
    double drawn_quantile_ms(double q) const;
    double max_ms() const { return m_max_us / 1000.0; }
    // The report: "name: value unit" lines; "ui_thread_cpu" is the processor time of the
    // calling thread (the user-interface thread) since it started.
    std::string report() const;
    void reset();

private:
    std::vector<uint32_t> m_drawn_us;
    uint64_t m_drawn = 0;
    uint64_t m_steps = 0;
    uint64_t m_max_us = 0;
};

}  // namespace vistrel
