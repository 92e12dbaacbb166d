#include "shell/frame_stats.h"

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cstdio>

namespace vistrel {

uint64_t FrameStats::thread_cpu_us() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000u + static_cast<uint64_t>(ts.tv_nsec) / 1000u;
}

uint64_t FrameStats::peak_resident_bytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<uint64_t>(usage.ru_maxrss) * 1024u;
}

void FrameStats::add_step(uint64_t cpu_us, bool drawn) {
    ++m_steps;
    m_max_us = std::max(m_max_us, cpu_us);
    if (!drawn) return;
    ++m_drawn;
    m_drawn_us.push_back(static_cast<uint32_t>(std::min<uint64_t>(cpu_us, UINT32_MAX)));
}

double FrameStats::drawn_quantile_ms(double q) const {
    if (m_drawn_us.empty()) return 0;
    std::vector<uint32_t> sorted = m_drawn_us;
    std::sort(sorted.begin(), sorted.end());
    const size_t index =
        std::min(sorted.size() - 1, static_cast<size_t>(q * static_cast<double>(sorted.size())));
    return sorted[index] / 1000.0;
}

std::string FrameStats::report() const {
    char text[512];
    std::snprintf(text, sizeof text,
                  "frames_drawn: %llu frames\n"
                  "frame_steps: %llu steps\n"
                  "frame_cpu_median: %.3f ms\n"
                  "frame_cpu_p95: %.3f ms\n"
                  "frame_cpu_max: %.3f ms\n"
                  "ui_thread_cpu: %.3f ms\n"
                  "peak_resident: %.1f MB\n",
                  static_cast<unsigned long long>(m_drawn),
                  static_cast<unsigned long long>(m_steps), drawn_quantile_ms(0.5),
                  drawn_quantile_ms(0.95), max_ms(), static_cast<double>(thread_cpu_us()) / 1000.0,
                  static_cast<double>(peak_resident_bytes()) / (1024.0 * 1024.0));
    return text;
}

void FrameStats::reset() {
    *this = FrameStats();
}

}  // namespace vistrel
