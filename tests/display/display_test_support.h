#pragma once
// Helpers of the display tests.

#include <vector>

#include "display/window.h"

namespace vistrel::test {

// A window procedure that keeps every message it is given.
struct MessageRecorder : WindowProcedure {
    std::vector<WindowMessage> seen;
    void window_procedure(WindowMessage& m) override { seen.push_back(m); }
};

inline DeviceProfile panel(int width, int height, int orientation = 0) {
    DeviceProfile p;
    p.screen = {width, height};
    p.orientation = orientation;
    return p;
}

}  // namespace vistrel::test
