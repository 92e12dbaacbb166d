#include "display/board_window.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

namespace vistrel {

BoardWindow::BoardWindow(const DeviceProfile& profile, Clock& clock)
    : Window(profile, clock),
      m_translator(profile.screen, *this, clock),
      m_wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

BoardWindow::~BoardWindow() = default;

bool BoardWindow::open_seat_input(std::string& problem) {
    problem.clear();
    m_input = BoardInput::open_seat(m_translator, problem);
    return problem.empty();
}

bool BoardWindow::open_device_input(const std::string& path, std::string& problem) {
    m_input = BoardInput::open_device(path, m_translator, problem);
    return m_input != nullptr;
}

void BoardWindow::pump_native() {
    if (m_input) m_input->dispatch();
    m_translator.tick();
}

void BoardWindow::wait_native(std::optional<uint32_t> milliseconds) {
    // A held key's next repeat and the pointer's hiding end the wait too.
    if (const std::optional<uint32_t> due = m_translator.next_due())
        milliseconds = milliseconds ? std::min(*milliseconds, *due) : *due;
    pollfd fds[2] = {{m_wake.get(), POLLIN, 0}, {m_input ? m_input->fd() : -1, POLLIN, 0}};
    const int timeout = milliseconds ? int(std::min<uint32_t>(*milliseconds, INT32_MAX)) : -1;
    if (poll(fds, 2, timeout) > 0 && (fds[0].revents & POLLIN)) {
        uint64_t count = 0;
        [[maybe_unused]] const ssize_t n = read(m_wake.get(), &count, sizeof count);
    }
}

void BoardWindow::wake_native() {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = write(m_wake.get(), &one, sizeof one);
}

void BoardWindow::pointer(MessageKind kind, Point panel_point) {
    native_pointer(kind, panel_point);
}

void BoardWindow::key(uint32_t virtual_key, bool down, bool repeat) {
    native_key(virtual_key, down, repeat);
}

void BoardWindow::pointer_shown(bool shown, Point panel_point) {
    native_pointer(shown ? MessageKind::PointerShown : MessageKind::PointerHidden, panel_point);
}

void BoardWindow::text(char16_t unit) {
    native_text(std::u16string(1, unit));
}

}  // namespace vistrel
