#pragma once
// The program's command line.

#include <string>
#include <vector>

#include "display/window.h"
#include "shell/monkey.h"

namespace vistrel {

struct AppOptions {
    DeviceProfile profile;
    // --screen and --dpi were given: the profile's size (and scale) stand on a desktop too;
    // without --screen the window is the screen.
    bool screen_given = false;
    bool dpi_given = false;
    bool headless = false;
    std::string script;
    // A folder or picture to show as a slide show from the start; `loop` starts it over
    // after the last picture.
    std::string slideshow;
    bool loop = false;
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
