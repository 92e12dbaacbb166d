#pragma once
// The Linux console while frames show: graphics mode (the kernel draws no text, cursor or
// messages over the pictures) and the keyboard off (keys reach the program through its
// input devices, not the console's shell). Restored when the guard goes; after a crash the
// service runs `vistrel --restore-console` to put the console back.

#include <memory>
#include <string>

#include "platform/file_descriptor.h"

namespace vistrel {

class ConsoleMode {
public:
    // Switches the virtual terminal (standard input when it is one, else /dev/tty0) to
    // graphics; nothing, with one line in `problem`, when there is none or it refuses.
    static std::unique_ptr<ConsoleMode> enter_graphics(std::string& problem);
    ~ConsoleMode();
    ConsoleMode(const ConsoleMode&) = delete;
    ConsoleMode& operator=(const ConsoleMode&) = delete;

    // Puts the terminal `tty` (empty: as enter_graphics finds it) back into text mode with
    // its keyboard and cursor; false with one line in `problem`.
    static bool restore(const std::string& tty, std::string& problem);

private:
    ConsoleMode(FileDescriptor fd, int text_mode, int keyboard_mode);
    FileDescriptor m_fd;
    int m_mode;
    int m_keyboard;
};

}  // namespace vistrel
