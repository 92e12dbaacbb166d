#pragma once
// The language keys the program looks up itself (besides the texts its skins name, see
// skin_text_keys, and "Skin#<name>" for each skin it ships). Every shipped language file
// holds all of them; a key that is missing shows as the key itself.

#include <array>
#include <string_view>

namespace vistrel {

inline constexpr std::array<std::u16string_view, 44> kProgramLanguageKeys = {
    // start-up and the album screen
    u"NoSkins", u"SkinIncomplete", u"WARNING_MESSAGE", u"Help_link", u"MyDocuments", u"loading",
    u"Search",
    // the main menu and its sub-menus
    u"MainMenu", u"Language", u"Skin", u"Cancel", u"Help", u"Minimize", u"About", u"Exit",
    // the about panel and messages
    u"AppName", u"AboutVersion", u"AboutLibraries", u"Close", u"OK", u"NoMailClient",
    // the viewer's menus
    u"Options", u"Delete", u"DeleteYes", u"Send", u"Properties", u"Original", u"Large",
    u"Medium", u"Small",
    // sizes and the properties panel
    u"byte", u"kbyte", u"mbyte", u"Name", u"Folder", u"Resolution", u"Format", u"Size", u"Date",
    u"Time", u"LongDate", u"DayNames", u"MonthNames", u"Albums",
};

}  // namespace vistrel
