#pragma once
// The language and skin choices the main menu offers, supplied by the program.

#include <functional>
#include <string>
#include <vector>

#include "skin/properties.h"
#include "ui/menu.h"

namespace vistrel {

struct ChoiceHandlers {
    // True when there is more than one language file (skin file) to choose from.
    std::function<bool()> has_language_choice;
    std::function<bool()> has_skin_choice;
    // Fill the sub-menu for "Language" ("Skin") and apply a pick "Language#N" ("Skin#N");
    // true only when a pick was applied. Arguments: properties, application name, command,
    // the entries out, the node of the "Cancel" entry.
    using Handler = std::function<bool(Properties&, const std::u16string&, const std::u16string&,
                                       std::vector<MenuItem>&, const std::u16string&)>;
    Handler language_menu;
    Handler skin_menu;
};

}  // namespace vistrel
