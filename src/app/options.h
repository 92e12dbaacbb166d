#pragma once
// The program's command line.

#include <string>
#include <vector>

#include "display/window.h"
#include "screens/image_viewer.h"
#include "shell/monkey.h"

namespace vistrel {

struct AppOptions {
    DeviceProfile profile;
    bool headless = false;
    std::string script;
    // A folder or picture to show as a slide show from the start; `loop` starts it over
    // after the last picture.
    std::string slideshow;
    bool loop = false;
    // With the slide show: deal the pictures like a deck (also when the settings do not).
    bool shuffle = false;
    // What the viewer shows over the picture (--overlay date,caption | none).
    OverlayParts overlay;
    bool help = false;
    // A folder to open as its album, or a picture to open in its album; empty for none.
    std::string path;
    // A random session (--monkey SEED --steps N [--monkey-log FILE]): steps 0 for none.
    MonkeyOptions monkey;
};

// False with a message on a wrong command line.
bool parse_options(const std::vector<std::string>& args, AppOptions& options, std::string& error);

// The usage text.
const char* options_usage();

}  // namespace vistrel
