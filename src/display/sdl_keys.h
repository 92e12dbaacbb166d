#pragma once
// The desktop keyboard through SDL: SDL key codes to the virtual-key numbers that the
// program's key table reads (`key_from_virtual_key`).

#include <cstdint>

namespace vistrel {

// SDL key codes (SDL_Keycode values) to virtual-key numbers: letters 65-90 and digits
// 48-57, arrows 37-40, Return 13, Escape 27, Backspace 8, F1/F2 soft keys 112/113, F3/F4
// call keys 114/115, F6/F7 volume 117/118, F8/F9 star and pound 119/120, Menu 93. 0 when
// the key has no counterpart.
uint32_t virtual_key_from_sdl(int32_t sdl_keycode);

}  // namespace vistrel
