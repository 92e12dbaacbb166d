#pragma once
// The window on a desktop, through SDL: a resizable window that shows the screen memory
// from a streaming RGB565 texture (only changed rectangles are uploaded), or, where no GPU
// renderer is at hand (or VISTREL_PRESENT=surface), copied into the window's own surface
// without loading GL; and SDL's events translated into window messages.

#include <memory>

#include "display/window.h"

namespace vistrel {

class SdlWindow final : public Window {
public:
    // Nothing when no desktop is available (SDL cannot start its video part).
    static std::unique_ptr<SdlWindow> create(const DeviceProfile& profile, Clock& clock,
                                             const std::u16string& title);
    ~SdlWindow() override;

    void screen_changed(Rect rect) override;
    void minimize() override;
    void restore() override;
    void start_text_input(Rect area) override;
    void stop_text_input() override;
    void set_title(const std::u16string& title) override;
    bool on_desktop() const override { return true; }
    void show_message_box(const std::u16string& caption, const std::u16string& text) override;

private:
    struct Native;
    SdlWindow(const DeviceProfile& profile, Clock& clock, std::unique_ptr<Native> native);

    void pump_native() override;
    void wait_native(std::optional<uint32_t> milliseconds) override;
    void wake_native() override;
    void native_capture(bool on) override;
    void translate(const void* event);
    void present();
    // Copies a rectangle of the screen into the window's surface (scaled to the window when
    // its size differs) and shows it.
    bool copy_to_window(Rect rect);
    // A window position in panel pixels.
    Point panel_point(int x, int y) const;

    std::unique_ptr<Native> m_native;
};

}  // namespace vistrel
