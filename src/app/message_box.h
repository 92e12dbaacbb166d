#pragma once
// A message to the user with only an OK button, before the program ends: on the desktop
// when there is one, and always on the standard error stream.

#include <string>

namespace vistrel {

void show_message(const std::u16string& caption, const std::u16string& text, bool on_desktop);

}  // namespace vistrel
