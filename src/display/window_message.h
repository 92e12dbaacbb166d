#pragma once
// The messages of the program's one top-level window. Native input (SDL events, scripted
// input) is translated into these; the display layer's hook and then the application's
// window procedure handle them.

#include <cstdint>
#include <string>

namespace vistrel {

enum class MessageKind : uint8_t {
    None,
    Quit,           // code: exit code; ends the message loop
    Destroy,        // the window is being destroyed
    Activate,       // code: 1 activated, 0 deactivated
    Paint,          // the window's contents were lost and must be drawn again
    Close,          // the user asked to close the window
    SettingChange,  // code: which setting (kSettingReset, kSettingWorkArea, kSettingInputPanel);
                    // x, y: the panel's new size when both are above 0
    CopyData,       // text: a command line handed over by a second start
    Help,
    KeyDown,         // code: virtual key; repeat: auto-repeated press
    KeyUp,           // code: virtual key
    Char,            // code: one UTF-16 code unit typed
    EditChanged,     // text: the whole text of the text-input bridge after an edit
    Timer,           // code: timer id
    PointerMove,     // x, y: client coordinates
    ButtonDown,      // x, y
    ButtonUp,        // x, y
    CaptureChanged,  // the pointer capture was released or lost
    Wheel,           // x, y: the pointer; amount: notches, positive away from the user
    Pinch,           // x, y: the fingers' centre; amount: zoom levels, positive apart
    Pan,             // x, y: how far two fingers moved, in client pixels
    PointerShown,    // x, y: a mouse moved: its pointer is drawn there (boards only)
    PointerHidden,   // the mouse pointer is no longer drawn
    HotKey,          // code: virtual key; key_up: the release of a hot key
    User,            // code: private message number
};

inline constexpr uint32_t kSettingReset = 0x3002;
inline constexpr uint32_t kSettingWorkArea = 47;
inline constexpr uint32_t kSettingInputPanel = 224;

struct WindowMessage {
    MessageKind kind = MessageKind::None;
    uint32_t code = 0;
    int32_t x = 0;
    int32_t y = 0;
    uint32_t time = 0;  // milliseconds, the window's clock when the message was made
    bool repeat = false;
    bool key_up = false;
    int32_t orientation = -1;  // SettingChange: the system orientation it brings, if any
    double amount = 0;         // Wheel, Pinch
    std::u16string text;
};

// Arrow keys as virtual keys: 37 left, 38 up, 39 right, 40 down.
inline constexpr uint32_t kVirtualKeyLeft = 37;
inline constexpr uint32_t kVirtualKeyDown = 40;

}  // namespace vistrel
