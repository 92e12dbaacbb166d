#include "display/board_input.h"

#include <fcntl.h>
#include <libinput.h>
#include <libudev.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/trace.h"

namespace vistrel {

struct BoardInput::State {
    InputTranslator& translator;
    udev* udev_context = nullptr;
    libinput* context = nullptr;
    int opened = 0;
    int refused = 0;

    explicit State(InputTranslator& t) : translator(t) {}
    ~State() {
        if (context) libinput_unref(context);
        if (udev_context) udev_unref(udev_context);
    }
};

namespace {

int open_restricted(const char* path, int flags, void* user) {
    auto* state = static_cast<BoardInput::State*>(user);
    const int fd = ::open(path, flags | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == EACCES || error == EPERM) ++state->refused;
        trace() << "Input cannot open " << path << ": " << std::strerror(error) << "\n";
        return -error;
    }
    ++state->opened;
    return fd;
}

void close_restricted(int fd, void*) {
    ::close(fd);
}

constexpr libinput_interface kInterface = {open_restricted, close_restricted};

void translate(libinput_event* event, InputTranslator& translator) {
    InputEvent e;
    using Kind = InputEvent::Kind;
    switch (libinput_event_get_type(event)) {
        case LIBINPUT_EVENT_DEVICE_REMOVED:
            e.kind = Kind::DeviceRemoved;
            break;
        case LIBINPUT_EVENT_KEYBOARD_KEY: {
            libinput_event_keyboard* k = libinput_event_get_keyboard_event(event);
            e.kind = Kind::Key;
            e.code = libinput_event_keyboard_get_key(k);
            e.pressed = libinput_event_keyboard_get_key_state(k) == LIBINPUT_KEY_STATE_PRESSED;
            break;
        }
        case LIBINPUT_EVENT_POINTER_MOTION: {
            libinput_event_pointer* p = libinput_event_get_pointer_event(event);
            e.kind = Kind::PointerMotion;
            e.x = libinput_event_pointer_get_dx(p);
            e.y = libinput_event_pointer_get_dy(p);
            break;
        }
        case LIBINPUT_EVENT_POINTER_MOTION_ABSOLUTE: {
            libinput_event_pointer* p = libinput_event_get_pointer_event(event);
            e.kind = Kind::PointerAbsolute;
            e.x = libinput_event_pointer_get_absolute_x_transformed(p, 1);
            e.y = libinput_event_pointer_get_absolute_y_transformed(p, 1);
            break;
        }
        case LIBINPUT_EVENT_POINTER_BUTTON: {
            libinput_event_pointer* p = libinput_event_get_pointer_event(event);
            e.kind = Kind::Button;
            e.code = libinput_event_pointer_get_button(p);
            e.pressed =
                libinput_event_pointer_get_button_state(p) == LIBINPUT_BUTTON_STATE_PRESSED;
            break;
        }
        case LIBINPUT_EVENT_TOUCH_DOWN:
        case LIBINPUT_EVENT_TOUCH_MOTION: {
            libinput_event_touch* t = libinput_event_get_touch_event(event);
            e.kind = libinput_event_get_type(event) == LIBINPUT_EVENT_TOUCH_DOWN
                         ? Kind::TouchDown
                         : Kind::TouchMotion;
            e.slot = libinput_event_touch_get_seat_slot(t);
            e.x = libinput_event_touch_get_x_transformed(t, 1);
            e.y = libinput_event_touch_get_y_transformed(t, 1);
            break;
        }
        case LIBINPUT_EVENT_TOUCH_UP:
            e.kind = Kind::TouchUp;
            e.slot = libinput_event_touch_get_seat_slot(libinput_event_get_touch_event(event));
            break;
        case LIBINPUT_EVENT_TOUCH_CANCEL:
            e.kind = Kind::TouchCancel;
            break;
        default:
            return;
    }
    translator.feed(e);
}

}  // namespace

BoardInput::BoardInput(std::unique_ptr<State> state) : m_state(std::move(state)) {}

BoardInput::~BoardInput() = default;

std::unique_ptr<BoardInput> BoardInput::open_seat(InputTranslator& translator,
                                                  std::string& problem) {
    auto state = std::make_unique<State>(translator);
    state->udev_context = udev_new();
    if (!state->udev_context) {
        problem = "cannot read the input devices: udev is not available";
        return nullptr;
    }
    state->context = libinput_udev_create_context(&kInterface, state.get(), state->udev_context);
    if (!state->context || libinput_udev_assign_seat(state->context, "seat0") != 0) {
        problem = "cannot read the input devices of seat0";
        return nullptr;
    }
    std::unique_ptr<BoardInput> input(new BoardInput(std::move(state)));
    input->dispatch();
    if (input->refused() > 0 && input->opened() == 0)
        problem = "cannot read the touch screen, mouse or keyboard in /dev/input: add the user "
                  "to the group \"input\" (usermod -aG input USER) and start again";
    return input;
}

std::unique_ptr<BoardInput> BoardInput::open_device(const std::string& path,
                                                    InputTranslator& translator,
                                                    std::string& problem) {
    auto state = std::make_unique<State>(translator);
    state->context = libinput_path_create_context(&kInterface, state.get());
    if (!state->context || !libinput_path_add_device(state->context, path.c_str())) {
        problem = "cannot read the input device " + path;
        return nullptr;
    }
    std::unique_ptr<BoardInput> input(new BoardInput(std::move(state)));
    input->dispatch();
    return input;
}

int BoardInput::fd() const {
    return libinput_get_fd(m_state->context);
}

void BoardInput::dispatch() {
    libinput* context = m_state->context;
    if (libinput_dispatch(context) != 0) return;
    while (libinput_event* event = libinput_get_event(context)) {
        translate(event, m_state->translator);
        libinput_event_destroy(event);
    }
}

int BoardInput::opened() const {
    return m_state->opened;
}

int BoardInput::refused() const {
    return m_state->refused;
}

}  // namespace vistrel
