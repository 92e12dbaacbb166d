#pragma once
// The language and skin the program starts with, and the main menu's language and skin
// choices: the remembered pick ("Language", "Skin" under the program's settings key), then
// "english" and "default", then the first file found. Language files are "*.lng" in the
// program's folder, skins "*.skin" in its "skins/bin" folder.

#include <string>

#include "screens/choice_handlers.h"
#include "skin/properties.h"
#include "skin/screen_info.h"

namespace vistrel {

bool choose_start_language(Properties& properties, const std::u16string& name);
bool choose_start_skin(Properties& properties, const std::u16string& name,
                       const ScreenInfo& screen);
// The handlers the main menu uses; `screen` gives the screen a new skin is loaded for.
ChoiceHandlers start_choice_handlers(std::function<ScreenInfo()> screen);

}  // namespace vistrel
