#pragma once
// A message to the user with only an OK button, before the program ends: in a box over the
// window when it is on a desktop, and always on the standard error stream. While the box
// is shown, a later start that hands its command line over brings it to the front.

#include <functional>
#include <string>

#include "display/window.h"

namespace vistrel {

// Shows the message and waits until the box is closed.
void show_message(const std::u16string& caption, const std::u16string& text, Window& window);

// Asks the box being shown to come to the front; from any thread. False when none is shown.
bool raise_message_box();

// The waiting behind show_message: runs `show` (which returns when the box is closed) on a
// thread of its own and, until it returns, `raise` on the calling thread after each
// raise_message_box().
void show_raisable(const std::function<void()>& show, const std::function<void()>& raise);

}  // namespace vistrel
