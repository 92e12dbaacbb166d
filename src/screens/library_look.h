#pragma once
// How long the screens that show the photo library may stay still: the soonest of what
// each screen waits for and of PhotoLibrary::seconds_to_change.

#include <algorithm>
#include <optional>

namespace vistrel {

// Keeps in `due` the earlier of it and `seconds` (at least 0); none is later than any.
inline void due_within(std::optional<double>& due, double seconds) {
    seconds = std::max(0.0, seconds);
    due = due ? std::min(*due, seconds) : seconds;
}

}  // namespace vistrel
