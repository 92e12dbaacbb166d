#pragma once
// The program's own key numbering (0..67), independent of the system's key codes, so that
// skins can name keys and screens can test them.

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/trace.h"

namespace vistrel {

using KeyCode = int32_t;

namespace key {
inline constexpr KeyCode None = 0, Shift = 1, Ctrl = 2, Alt = 3, Left = 4, Right = 5, Up = 6,
                         Down = 7, Esc = 8, Enter = 9, Space = 10, Backspace = 11, Del = 12,
                         Insert = 13, Home = 14, End = 15, PageDown = 16, PageUp = 17, Tab = 18,
                         ContextMenu = 19, A = 20, Z = 45, Digit0 = 46, Digit9 = 55, Star = 56,
                         Pound = 57, CallMake = 58, CallEnd = 59, Slide = 60, SoftLeft = 61,
                         SoftRight = 62, VolumeUp = 63, VolumeDown = 64, Plus = 65, Minus = 66,
                         F11 = 67;
inline constexpr KeyCode Last = 67;
}  // namespace key

// A key press or release. `first` is false for an auto-repeated press; `ctrl` tells
// whether a Ctrl key was held.
struct KeyEvent {
    KeyCode code = key::None;
    bool down = false;
    bool first = true;
    bool ctrl = false;
};

// A virtual-key number (as `virtual_key_from_sdl` gives them) to our key code; 0 when
// unmapped.
KeyCode key_from_virtual_key(uint32_t virtual_key);

// The name of a key code ("Left", "SOFT_LEFT", "A", "*"); empty when the code has none.
std::string_view key_name(KeyCode code);

// The code whose name equals `name` exactly, letter case included.
std::optional<KeyCode> key_from_name(std::u16string_view name);

// Writes a key code to the trace log by its name (nothing when it has none).
struct KeyName {
    KeyCode code;
};
Trace& operator<<(Trace& trace, KeyName key);

}  // namespace vistrel
