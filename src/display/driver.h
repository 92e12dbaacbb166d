#pragma once
// The drivers behind a Display: each reaches the screen one way and hands out the pixel
// memory of a frame.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "render/bitmap.h"
#include "render/geometry.h"

namespace vistrel {

class Window;

// In and out of Display::Create: width, height, orientation (0..3 quarter turns, 4 = any)
// and swap effect (1: the frame need not survive presentation, 2: it must; 0 counts as 1).
struct DisplayParams {
    int32_t width = 0;
    int32_t height = 0;
    int32_t orientation = 0;
    int32_t swap = 1;
};

inline constexpr int kAnyOrientation = 4;

struct DisplayMode {
    int width = 0;
    int height = 0;
    int orientation = 0;
    friend bool operator==(const DisplayMode&, const DisplayMode&) = default;
};

enum DriverId : int {
    kScreenDriverId = 1,       // the window's screen memory (SDL texture or off-screen)
    kFrameBufferDriverId = 2,  // a Linux frame buffer
    kKmsDriverId = 3,          // a KMS output (/dev/dri/cardN) through a dumb buffer
};

// What detection found out about the device.
struct DetectionRecord {
    int width = 0;  // native size, bits per pixel and pitch
    int height = 0;
    int bits_per_pixel = 16;
    int pitch = 0;
    int orientation = kAnyOrientation;
    std::string framebuffer;  // the frame-buffer or KMS device that passed its checks, if any
    std::vector<DisplayMode> modes;
    std::vector<int> drivers;  // detected driver ids in the order found
};

class DisplayDriver {
public:
    // How a driver's memory reaches the screen.
    enum SwapType : int { kVideoMemory = 0, kDoubleBuffer = 1, kSystemMemory = 2 };

    virtual ~DisplayDriver() = default;
    virtual void resume() {}
    virtual void suspend() {}
    // Shows the last frame again.
    virtual void repaint() {}
    virtual bool initialise(Window& window, const DisplayParams& requested,
                            const DetectionRecord& record) = 0;
    // The frame's pixel memory, or null.
    virtual Bitmap* lock() = 0;
    virtual void unlock_and_show(uint32_t flags) = 0;
    // Limits the next show to `rect` (inside the driver's size).
    virtual void set_dirty(const Rect& rect) { m_dirty = rect; }
    // Waits until the display's refresh has passed the picture.
    virtual void wait_for_refresh() {}
    // The last frame shown, in this driver's orientation.
    virtual const Bitmap* frame() const = 0;
    // What the output shows, in the output's own orientation.
    virtual const Bitmap* shown() const { return frame(); }

    int width() const { return m_width; }
    int height() const { return m_height; }
    int pitch() const { return m_pitch; }
    int orientation() const { return m_orientation; }
    int swap_type() const { return m_swap_type; }

protected:
    int m_width = 0;
    int m_height = 0;
    int m_pitch = 0;
    int m_orientation = 0;
    int m_swap_type = kSystemMemory;
    Rect m_dirty;
};

// A driver of the given kind (not yet initialised); nothing for an unknown id.
std::unique_ptr<DisplayDriver> CreateDriver(int id);

// Draws straight into the window's screen memory and shows the changed rectangle.
class ScreenDriver final : public DisplayDriver {
public:
    bool initialise(Window& window, const DisplayParams& requested,
                    const DetectionRecord& record) override;
    Bitmap* lock() override;
    void unlock_and_show(uint32_t flags) override;
    void repaint() override;
    const Bitmap* frame() const override;

private:
    Window* m_window = nullptr;
};

// Wraps another driver and turns each frame into that driver's orientation, copying the
// dirty rectangle in blocks of 16 x 16 pixels.
class RotationDriver final : public DisplayDriver {
public:
    explicit RotationDriver(std::unique_ptr<DisplayDriver> wrapped);
    void resume() override { m_wrapped->resume(); }
    void suspend() override { m_wrapped->suspend(); }
    void repaint() override { m_wrapped->repaint(); }
    bool initialise(Window& window, const DisplayParams& requested,
                    const DetectionRecord& record) override;
    Bitmap* lock() override { return m_frame.get(); }
    void unlock_and_show(uint32_t flags) override;
    void wait_for_refresh() override { m_wrapped->wait_for_refresh(); }
    const Bitmap* frame() const override { return m_frame.get(); }
    const Bitmap* shown() const override { return m_wrapped->shown(); }
    // Clockwise quarter turns from this driver's frame to the wrapped driver's.
    int turn() const { return m_turn; }

private:
    std::unique_ptr<DisplayDriver> m_wrapped;
    std::unique_ptr<Bitmap> m_frame;
    int m_turn = 0;
};

}  // namespace vistrel
