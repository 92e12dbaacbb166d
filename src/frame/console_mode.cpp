#include "frame/console_mode.h"

#include <fcntl.h>
#include <linux/kd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vistrel {

namespace {

constexpr char kCursorOff[] = "\033[?25l";
constexpr char kCursorOn[] = "\033[?25h";

bool is_virtual_terminal(int fd) {
    int mode = 0;
    return fd >= 0 && ioctl(fd, KDGETMODE, &mode) == 0;
}

// The terminal to switch: `tty` when named, else standard input when it is a virtual
// terminal, else the foreground one.
FileDescriptor open_terminal(const std::string& tty, std::string& problem) {
    if (tty.empty() && is_virtual_terminal(STDIN_FILENO))
        return FileDescriptor(fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0));
    const std::string path = tty.empty() ? "/dev/tty0" : tty;
    FileDescriptor fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) {
        problem = "cannot open the console " + path + ": " + std::strerror(errno);
        return FileDescriptor();
    }
    if (!is_virtual_terminal(fd.get())) {
        problem = path + " is not a virtual terminal";
        return FileDescriptor();
    }
    return fd;
}

void write_text(int fd, const char* text) {
    [[maybe_unused]] const ssize_t n = write(fd, text, std::strlen(text));
}

}  // namespace

ConsoleMode::ConsoleMode(FileDescriptor fd, int text_mode, int keyboard_mode)
    : m_fd(std::move(fd)), m_mode(text_mode), m_keyboard(keyboard_mode) {}

std::unique_ptr<ConsoleMode> ConsoleMode::enter_graphics(std::string& problem) {
    FileDescriptor fd = open_terminal("", problem);
    if (fd.get() < 0) return nullptr;
    int mode = KD_TEXT;
    int keyboard = K_UNICODE;
    ioctl(fd.get(), KDGETMODE, &mode);
    if (ioctl(fd.get(), KDGKBMODE, &keyboard) != 0) keyboard = -1;
    if (ioctl(fd.get(), KDSETMODE, KD_GRAPHICS) != 0) {
        problem = std::string("the console refuses graphics mode: ") + std::strerror(errno);
        return nullptr;
    }
    write_text(fd.get(), kCursorOff);
    if (keyboard >= 0) ioctl(fd.get(), KDSKBMODE, K_OFF);
    // A mode left in graphics by an earlier crash is restored to text.
    if (mode == KD_GRAPHICS) mode = KD_TEXT;
    if (keyboard == K_OFF) keyboard = K_UNICODE;
    return std::unique_ptr<ConsoleMode>(new ConsoleMode(std::move(fd), mode, keyboard));
}

ConsoleMode::~ConsoleMode() {
    if (m_keyboard >= 0) ioctl(m_fd.get(), KDSKBMODE, m_keyboard);
    ioctl(m_fd.get(), KDSETMODE, m_mode);
    write_text(m_fd.get(), kCursorOn);
}

bool ConsoleMode::restore(const std::string& tty, std::string& problem) {
    FileDescriptor fd = open_terminal(tty, problem);
    if (fd.get() < 0) return false;
    if (ioctl(fd.get(), KDSETMODE, KD_TEXT) != 0) {
        problem = std::string("the console refuses text mode: ") + std::strerror(errno);
        return false;
    }
    ioctl(fd.get(), KDSKBMODE, K_UNICODE);
    write_text(fd.get(), kCursorOn);
    return true;
}

}  // namespace vistrel
