#pragma once
// How long the screens that show the photo library may stay still: its folder and storage
// changes are polled at the frame steps, not announced, so a still screen still looks for
// them this often.

#include <algorithm>
#include <optional>

namespace vistrel {

inline constexpr double kLibraryLookSeconds = 0.5;

// Keeps in `due` the earlier of it and `seconds` (at least 0).
inline void due_within(std::optional<double>& due, double seconds) {
    seconds = std::max(0.0, seconds);
    due = due ? std::min(*due, seconds) : seconds;
}

}  // namespace vistrel
