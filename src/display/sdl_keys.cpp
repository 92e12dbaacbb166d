#include "display/sdl_keys.h"

#include <SDL.h>

namespace vistrel {

namespace {

struct SdlRow {
    SDL_Keycode sdl;
    uint32_t virtual_key;
};

constexpr SdlRow kSdlRows[] = {
    {SDLK_RETURN, 13},   {SDLK_ESCAPE, 27},       {SDLK_BACKSPACE, 8},    {SDLK_TAB, 9},
    {SDLK_SPACE, 32},    {SDLK_DELETE, 46},       {SDLK_ASTERISK, 119},   {SDLK_HASH, 120},
    {SDLK_F1, 112},  // left soft key
    {SDLK_F2, 113},  // right soft key
    {SDLK_F3, 114},  // talk
    {SDLK_F4, 115},  // end
    {SDLK_F6, 117},  // volume up
    {SDLK_F7, 118},  // volume down
    {SDLK_F8, 119},  // star
    {SDLK_F9, 120},  // pound
    {SDLK_INSERT, 45},   {SDLK_HOME, 36},         {SDLK_PAGEUP, 33},      {SDLK_END, 35},
    {SDLK_PAGEDOWN, 34}, {SDLK_RIGHT, 39},        {SDLK_LEFT, 37},        {SDLK_DOWN, 40},
    {SDLK_UP, 38},       {SDLK_KP_MULTIPLY, 119},  // star
    {SDLK_KP_ENTER, 13}, {SDLK_APPLICATION, 93},   // context menu
    {SDLK_MENU, 93},     {SDLK_VOLUMEUP, 117},    {SDLK_VOLUMEDOWN, 118}, {SDLK_LCTRL, 17},
    {SDLK_LSHIFT, 16},   {SDLK_LALT, 18},         {SDLK_RCTRL, 17},       {SDLK_RSHIFT, 16},
    {SDLK_RALT, 18},
    {SDLK_PLUS, 187},    {SDLK_EQUALS, 187},      {SDLK_KP_PLUS, 107},    {SDLK_MINUS, 189},
    {SDLK_KP_MINUS, 109}, {SDLK_F11, 122},
};

}  // namespace

uint32_t virtual_key_from_sdl(int32_t sdl_keycode) {
    if (sdl_keycode >= SDLK_a && sdl_keycode <= SDLK_z) return uint32_t(sdl_keycode - SDLK_a + 'A');
    if (sdl_keycode >= SDLK_0 && sdl_keycode <= SDLK_9) return uint32_t(sdl_keycode);
    for (const auto& row : kSdlRows)
        if (row.sdl == sdl_keycode) return row.virtual_key;
    return 0;
}

}  // namespace vistrel
