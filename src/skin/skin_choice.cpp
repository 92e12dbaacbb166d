#include "skin/skin_choice.h"

#include <algorithm>

#include "language/language_names.h"
#include "platform/directory.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/trace.h"
#include "skin/screen_nodes.h"

namespace vistrel {
namespace {

constexpr char16_t kLanguageExtension[] = u".lng";
constexpr char16_t kSkinExtension[] = u".skin";
constexpr char16_t kLanguageCommand[] = u"Language";
constexpr char16_t kSkinCommand[] = u"Skin";
constexpr char16_t kSkinIncompleteKey[] = u"SkinIncomplete";

std::u16string settings_key(const std::u16string& app_name) {
    return std::u16string(kTekuKey) + u"\\" + app_name;
}

std::u16string remembered(const std::u16string& app_name, const std::u16string& value) {
    std::u16string name;
    if (!read_string(settings_key(app_name), value, name)) return {};
    return name;
}

// The files "*<extension>" of one folder (not its sub-folders), as "<folder>/<name>",
// sorted by their UTF-16 code units.
std::vector<std::u16string> list_files(const std::u16string& folder, const std::u16string& extension) {
    std::vector<std::u16string> paths;
    DirectoryReader reader(expand_path(folder), u"*" + extension);
    DirectoryEntry entry;
    while (reader.next(entry))
        if (!entry.is_directory && entry.name.size() > extension.size())
            paths.push_back(folder + u"/" + entry.name);
    std::sort(paths.begin(), paths.end());
    return paths;
}

bool same_ignoring_case(const std::u16string& a, const std::u16string& b) {
    return to_upper(a) == to_upper(b);
}

// The path of the file `name` + `extension` in `folder`: the exact name when such a file
// is listed, else one whose name differs only in letter case; empty when there is none.
std::u16string find_named(const std::u16string& folder, const std::u16string& name,
                          const std::u16string& extension) {
    if (name.empty()) return {};
    const std::u16string exact = folder + u"/" + name + extension;
    const std::vector<std::u16string> paths = list_files(folder, extension);
    if (std::find(paths.begin(), paths.end(), exact) != paths.end()) return exact;
    for (const std::u16string& path : paths)
        if (same_ignoring_case(base_name(path), name)) return path;
    return {};
}

bool has_choice(const std::u16string& folder, const std::u16string& extension) {
    return list_files(folder, extension).size() > 1;
}

// The sub-menu of the files in `folder`: one entry per file, the one in use checked, then
// "Cancel".
void fill_menu(const std::u16string& folder, const std::u16string& extension,
               const std::u16string& command, bool show_names, const std::u16string& current_path,
               const std::u16string& cancel_node, std::vector<ChoiceItem>& items) {
    items.clear();
    const std::u16string current = to_upper(base_name(current_path));
    for (const std::u16string& path : list_files(folder, extension)) {
        const std::u16string name = base_name(path);
        ChoiceItem item;
        item.id = command + u"#" + name;
        if (show_names) item.text = name;
        item.checked = !current_path.empty() && to_upper(name) == current;
        items.push_back(std::move(item));
    }
    ChoiceItem cancel;
    cancel.id = u"Cancel";
    cancel.element_node = cancel_node;
    items.push_back(std::move(cancel));
}

// The menu shown instead of applying a skin that cannot show every screen: the reason, as
// an entry that does nothing, and "OK".
void refusal_menu(const Properties& properties, const std::u16string& entry_node,
                  std::vector<ChoiceItem>& items) {
    items.clear();
    ChoiceItem reason;
    reason.id = kSkinIncompleteKey;
    reason.text = properties.text_for(kSkinIncompleteKey);
    if (reason.text == kSkinIncompleteKey)
        reason.text = u"This skin lacks parts of the screens and cannot be used.";
    reason.enabled = false;
    items.push_back(std::move(reason));
    ChoiceItem ok;
    ok.id = u"OK";
    ok.element_node = entry_node;
    items.push_back(std::move(ok));
}

// The name after "<command>#", or nothing when `command` is not a pick of that kind.
bool picked_name(const std::u16string& command, const std::u16string& kind, std::u16string& name) {
    const std::u16string prefix = kind + u"#";
    if (command.size() <= prefix.size() || command.compare(0, prefix.size(), prefix) != 0)
        return false;
    name = command.substr(prefix.size());
    // A name is a file's base name: no folder may sneak in.
    return name.find_first_of(u"/\\") == std::u16string::npos && name != u"." && name != u"..";
}

// Loads the skin at `path` into `properties` when it loads and has everything the screens
// look up; otherwise the current skin stays. `incomplete` tells a skin that loads but lacks
// nodes from one that does not load.
bool load_usable_skin(Properties& properties, const std::u16string& path,
                      const ScreenInfo& screen, bool* incomplete = nullptr) {
    if (incomplete) *incomplete = false;
    auto skin = std::make_unique<PropertiesImpl>(path, screen);
    if (!skin->loaded()) return false;
    const std::vector<std::u16string> missing = missing_screen_nodes(*skin);
    if (!missing.empty()) {
        trace() << "Skin " << path << " lacks " << missing.front() << " and "
                << missing.size() - 1 << " more\n";
        if (incomplete) *incomplete = true;
        return false;
    }
    return properties.use_skin(std::move(skin));
}

}  // namespace

std::u16string base_name(const std::u16string& path) {
    const size_t slash = path.find_last_of(u"/\\");
    std::u16string name = slash == std::u16string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of(u'.');
    if (dot != std::u16string::npos && dot > 0) name.resize(dot);
    return name;
}

bool choose_language(Properties& properties, const std::u16string& app_name,
                     const ChoiceFolders& folders) {
    const std::u16string& folder = folders.languages;
    for (const std::u16string& name :
         {remembered(app_name, kLanguageValue), system_language_name(), std::u16string(u"english")}) {
        const std::u16string path = find_named(folder, name, kLanguageExtension);
        if (!path.empty() && properties.load_language(path)) return true;
    }
    for (const std::u16string& path : list_files(folder, kLanguageExtension))
        if (properties.load_language(path)) return true;
    return false;
}

bool choose_skin(Properties& properties, const std::u16string& app_name, const ScreenInfo& screen,
                 const ChoiceFolders& folders) {
    const std::u16string& folder = folders.skins;
    for (const std::u16string& name : {remembered(app_name, kSkinValue), std::u16string(u"default")}) {
        const std::u16string path = find_named(folder, name, kSkinExtension);
        if (!path.empty() && load_usable_skin(properties, path, screen)) return true;
    }
    for (const std::u16string& path : list_files(folder, kSkinExtension))
        if (load_usable_skin(properties, path, screen)) return true;
    return false;
}

bool has_language_choice(const ChoiceFolders& folders) {
    return has_choice(folders.languages, kLanguageExtension);
}

bool has_skin_choice(const ChoiceFolders& folders) {
    return has_choice(folders.skins, kSkinExtension);
}

bool language_menu(Properties& properties, const std::u16string& app_name,
                   const std::u16string& command, std::vector<ChoiceItem>& items,
                   const std::u16string& cancel_node, const ChoiceFolders& folders) {
    if (command == kLanguageCommand) {
        fill_menu(folders.languages, kLanguageExtension, kLanguageCommand, true,
                  properties.language_path(), cancel_node, items);
        return false;
    }
    std::u16string name;
    if (!picked_name(command, kLanguageCommand, name)) return false;
    const std::u16string path = folders.languages + u"/" + name + kLanguageExtension;
    if (path == properties.language_path() || !properties.load_language(path)) return false;
    write_string(settings_key(app_name), kLanguageValue, name);
    return true;
}

bool skin_menu(Properties& properties, const std::u16string& app_name, const ScreenInfo& screen,
               const std::u16string& command, std::vector<ChoiceItem>& items,
               const std::u16string& cancel_node, const ChoiceFolders& folders) {
    if (command == kSkinCommand) {
        fill_menu(folders.skins, kSkinExtension, kSkinCommand, false, properties.skin_path(),
                  cancel_node, items);
        return false;
    }
    std::u16string name;
    if (!picked_name(command, kSkinCommand, name)) return false;
    const std::u16string path = folders.skins + u"/" + name + kSkinExtension;
    if (path == properties.skin_path()) return false;
    bool incomplete = false;
    if (!load_usable_skin(properties, path, screen, &incomplete)) {
        // The pick is not remembered, and the menu says why nothing changed.
        if (incomplete) refusal_menu(properties, cancel_node, items);
        return false;
    }
    write_string(settings_key(app_name), kSkinValue, name);
    return true;
}

}  // namespace vistrel
