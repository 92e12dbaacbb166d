#pragma once
// Choosing the language and the skin: at start-up from the remembered pick and sensible
// fall-backs, and from the main menu's "Language" and "Skin" sub-menus, where the user's
// pick is applied and remembered.
//
// Language files are "<name>.lng" in the program's data folder ("%data_path%": beside the
// program in a build folder, <prefix>/share/vistrel when installed), skins "<name>.skin" in
// its folder skins/bin; sub-folders are not searched. Names are matched without regard to letter case
// when the exact file does not exist, so the fall-backs ("english", the system's language
// name such as "RUSSIAN") find "English.lng" and "Russian.lng".

#include <string>
#include <vector>

#include "skin/properties.h"
#include "skin/screen_info.h"

namespace vistrel {

// Where the choice looks (tests point it elsewhere).
struct ChoiceFolders {
    std::u16string languages = u"%data_path%";
    std::u16string skins = u"%data_path%/skins/bin";
};

// One entry of a "Language" or "Skin" sub-menu, as the menu shows it: an empty `text`
// shows the language text of `id`; `element_node` names the skin node of the row (empty:
// the menu's default). The screens turn these into their menu entries.
struct ChoiceItem {
    std::u16string id;
    std::u16string text;
    std::u16string element_node;
    bool checked = false;
    bool enabled = true;
};

// Loads a language into `properties`: the remembered one (setting "Language" under the
// application's key), else the system's language, else "english", else the first file
// listed. Writes no setting. False when no language file loads.
bool choose_language(Properties& properties, const std::u16string& app_name,
                     const ChoiceFolders& folders = {});

// Loads a skin for `screen`: the remembered one (setting "Skin"), else "default", else the
// first skin listed, each only when it has every node the screens look up (a skin that
// lacks one would fail as soon as a screen is built). Writes no setting. False when no
// skin passes.
bool choose_skin(Properties& properties, const std::u16string& app_name, const ScreenInfo& screen,
                 const ChoiceFolders& folders = {});

// Whether there is more than one language file, respectively skin, to choose from.
bool has_language_choice(const ChoiceFolders& folders = {});
bool has_skin_choice(const ChoiceFolders& folders = {});

// The "Language" sub-menu and the picks made in it. `command` "Language" fills `items`
// with one entry "Language#<name>" per language file (sorted, the one in use checked) and
// a last "Cancel" entry drawn with `cancel_node`. A command "Language#<name>" loads that
// language and, when it loaded and was not already in use, remembers it. True only when a
// pick was applied (the caller then rebuilds its screens); `items` is left alone for other
// commands.
bool language_menu(Properties& properties, const std::u16string& app_name,
                   const std::u16string& command, std::vector<ChoiceItem>& items,
                   const std::u16string& cancel_node, const ChoiceFolders& folders = {});

// The same for "Skin" and "Skin#<name>": entries show the language text of "Skin#<name>"
// (the skin's display name), and a pick loads the skin for `screen`. A picked skin that
// loads but lacks nodes the screens look up is refused: nothing changes, nothing is
// remembered, and `items` becomes the reason ("SkinIncomplete", disabled) and "OK".
bool skin_menu(Properties& properties, const std::u16string& app_name, const ScreenInfo& screen,
               const std::u16string& command, std::vector<ChoiceItem>& items,
               const std::u16string& cancel_node, const ChoiceFolders& folders = {});

// The base name of a path: no folder, no extension ("%data_path%/Russian.lng" -> "Russian").
std::u16string base_name(const std::u16string& path);

}  // namespace vistrel
