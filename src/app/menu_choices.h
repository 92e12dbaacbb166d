#pragma once
// The main menu's language and skin choices, from the skin's choice code.

#include <functional>

#include "screens/choice_handlers.h"
#include "skin/screen_info.h"

namespace vistrel {

// `screen` gives the screen a picked skin is loaded for.
ChoiceHandlers menu_choices(std::function<ScreenInfo()> screen);

}  // namespace vistrel
