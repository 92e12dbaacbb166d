#pragma once
// The input devices of a board without a desktop, read through libinput on seat0 with
// udev (devices plugged in later included). Events are handed to an InputTranslator.
// libinput and libudev appear only in this file's implementation.

#include <memory>
#include <string>

#include "display/input_translator.h"

namespace vistrel {

class BoardInput {
public:
    // Reads every device of the seat; nothing, with one line in `problem`, when there is no
    // udev or seat. When devices exist but none may be opened, `problem` says which group
    // to join and the input is returned anyway (devices added later may be readable).
    static std::unique_ptr<BoardInput> open_seat(InputTranslator& translator, std::string& problem);
    // Reads only the given event device (for tests with a virtual device); no udev needed.
    static std::unique_ptr<BoardInput> open_device(const std::string& path,
                                                   InputTranslator& translator,
                                                   std::string& problem);
    ~BoardInput();
    BoardInput(const BoardInput&) = delete;
    BoardInput& operator=(const BoardInput&) = delete;

    // Readable when events are waiting.
    int fd() const;
    // Takes every waiting event and feeds the translator; never blocks.
    void dispatch();
    // Devices opened so far, and those refused for lack of permission.
    int opened() const;
    int refused() const;

    // The implementation's state (libinput context and counters).
    struct State;

private:
    explicit BoardInput(std::unique_ptr<State> state);
    std::unique_ptr<State> m_state;
};

}  // namespace vistrel
