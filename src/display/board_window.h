#pragma once
// The window of a board without a desktop: its screen lives in memory (a display driver
// puts the frames on the panel), its input comes from the board's devices. Waiting for
// input sleeps in poll() on the input and a wake-up descriptor, so an idle frame costs no
// CPU. The mouse pointer is asked of the display as PointerShown and PointerHidden
// messages; held keys repeat.

#include <memory>
#include <string>

#include "display/board_input.h"
#include "display/input_translator.h"
#include "display/window.h"
#include "platform/file_descriptor.h"

namespace vistrel {

class BoardWindow final : public Window, private InputSink {
public:
    BoardWindow(const DeviceProfile& profile, Clock& clock);
    ~BoardWindow() override;

    // Starts reading the seat's devices; false with one line in `problem` when they cannot
    // be read (the window goes on without input, or with the devices it could open).
    bool open_seat_input(std::string& problem);
    // Reads one event device only (for tests with a virtual device).
    bool open_device_input(const std::string& path, std::string& problem);

    const InputTranslator& translator() const { return m_translator; }

protected:
    void pump_native() override;
    void wait_native(std::optional<uint32_t> milliseconds) override;
    void wake_native() override;

private:
    void pointer(MessageKind kind, Point panel_point) override;
    void key(uint32_t virtual_key, bool down, bool repeat) override;
    void text(char16_t unit) override;
    void pointer_shown(bool shown, Point panel_point) override;
    bool wants_text() const override { return text_input(); }

    InputTranslator m_translator;
    std::unique_ptr<BoardInput> m_input;
    FileDescriptor m_wake;
};

}  // namespace vistrel
