#include "start_choice.h"

#include <algorithm>
#include <cctype>

#include "library/file_walker.h"
#include "platform/path_parts.h"
#include "platform/paths.h"
#include "platform/registry.h"

namespace vistrel {

namespace {

constexpr char16_t kLanguageFolder[] = u"%app_path%/";
constexpr char16_t kSkinFolder[] = u"%app_path%/skins/bin/";

std::u16string settings_key(const std::u16string& name) {
    return std::u16string(kTekuKey) + u"\\" + name;
}

std::vector<std::u16string> listed(const std::u16string& folder, const std::u16string& pattern) {
    FileCollector found;
    find_files(found, expand_path(folder), pattern, u"do_not_search", false);
    std::sort(found.files.begin(), found.files.end());
    return found.files;
}

std::u16string base_name(const std::u16string& path) {
    std::u16string name = file_name_part(path);
    const size_t dot = name.find_last_of(u'.');
    return dot == std::u16string::npos ? name : name.substr(0, dot);
}

std::u16string upper(std::u16string text) {
    for (char16_t& c : text)
        if (c < 128) c = static_cast<char16_t>(std::toupper(c));
    return text;
}

bool choice_menu(Properties& properties, const std::u16string& name, const std::u16string& command,
                 std::vector<MenuItem>& entries, const std::u16string& cancel_node,
                 const std::u16string& kind, const std::u16string& folder,
                 const std::u16string& extension, const std::function<bool(const std::u16string&)>& load,
                 const std::u16string& current_path, bool texts) {
    const std::u16string prefix = kind + u"#";
    if (command == kind) {
        const std::u16string current = upper(base_name(current_path));
        for (const std::u16string& path : listed(folder, u"*" + extension)) {
            MenuItem item;
            item.id = prefix + base_name(path);
            if (texts) item.text = base_name(path);
            item.checked = upper(base_name(path)) == current;
            entries.push_back(std::move(item));
        }
        MenuItem cancel;
        cancel.id = u"Cancel";
        cancel.element_node = cancel_node;
        entries.push_back(std::move(cancel));
        return false;
    }
    if (command.rfind(prefix, 0) != 0) return false;
    const std::u16string pick = command.substr(prefix.size());
    const std::u16string path = folder + pick + extension;
    if (path == current_path || !load(path)) return false;
    write_string(settings_key(name), kind, pick);
    return true;
}

}  // namespace

bool choose_start_language(Properties& properties, const std::u16string& name) {
    std::u16string chosen;
    read_string(settings_key(name), u"Language", chosen);
    for (const std::u16string& pick : {chosen, std::u16string(u"english")})
        if (!pick.empty() && properties.load_language(kLanguageFolder + pick + u".lng"))
            return true;
    for (const std::u16string& path : listed(kLanguageFolder, u"*.lng"))
        if (properties.load_language(path)) return true;
    return false;
}

bool choose_start_skin(Properties& properties, const std::u16string& name,
                       const ScreenInfo& screen) {
    std::u16string chosen;
    read_string(settings_key(name), u"Skin", chosen);
    for (const std::u16string& pick : {chosen, std::u16string(u"default")})
        if (!pick.empty() && properties.load_skin(kSkinFolder + pick + u".skin", screen))
            return true;
    for (const std::u16string& path : listed(kSkinFolder, u"*.skin"))
        if (properties.load_skin(path, screen)) return true;
    return false;
}

ChoiceHandlers start_choice_handlers(std::function<ScreenInfo()> screen) {
    ChoiceHandlers handlers;
    handlers.has_language_choice = [] { return listed(kLanguageFolder, u"*.lng").size() > 1; };
    handlers.has_skin_choice = [] { return listed(kSkinFolder, u"*.skin").size() > 1; };
    handlers.language_menu = [](Properties& properties, const std::u16string& name,
                                const std::u16string& command, std::vector<MenuItem>& entries,
                                const std::u16string& cancel_node) {
        return choice_menu(properties, name, command, entries, cancel_node, u"Language",
                           kLanguageFolder, u".lng",
                           [&](const std::u16string& path) { return properties.load_language(path); },
                           properties.language_path(), true);
    };
    handlers.skin_menu = [screen](Properties& properties, const std::u16string& name,
                                  const std::u16string& command, std::vector<MenuItem>& entries,
                                  const std::u16string& cancel_node) {
        return choice_menu(properties, name, command, entries, cancel_node, u"Skin", kSkinFolder,
                           u".skin",
                           [&](const std::u16string& path) {
                               return properties.load_skin(path, screen());
                           },
                           properties.skin_path(), false);
    };
    return handlers;
}

}  // namespace vistrel
