#pragma once
// Finding the screen of a board before the program starts: `--framebuffer auto` becomes the
// frame buffer /dev/fb0 or, where the kernel offers only KMS, /dev/dri/card0; the device is
// checked (it exists, can be written, has pixels we can draw) so that a frame that cannot
// show says why instead of drawing off-screen.

#include <string>

#include "render/geometry.h"

namespace vistrel {

struct BoardOutput {
    std::string device;
    Size size;             // the panel's pixels
    int orientation = 0;   // quarter turns the kernel reports for the panel
    bool kms = false;
    bool real_device = false;  // a device node, not a file standing in for one
};

// Where `auto` looks.
struct BoardDevices {
    std::string framebuffer = "/dev/fb0";
    std::string kms = "/dev/dri/card0";
};

// False with one line in `problem`. `file_size` is the size a plain file standing in for a
// frame buffer is taken to have.
bool find_board_output(const std::string& requested, Size file_size, BoardOutput& output,
                       std::string& problem, const BoardDevices& devices = {});

}  // namespace vistrel
