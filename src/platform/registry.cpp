#include "platform/registry.h"

#include <string_view>

#include "platform/settings_store.h"

namespace vistrel {

namespace {

struct RootName {
    std::u16string_view name;
    RootKey root;
};

constexpr RootName kRoots[] = {
    {u"HKEY_CLASSES_ROOT", RootKey::ClassesRoot},
    {u"HKEY_LOCAL_MACHINE", RootKey::LocalMachine},
    {u"HKEY_USERS", RootKey::Users},
    {u"HKEY_CURRENT_USER", RootKey::CurrentUser},
    {u"HKEY_CURRENT_CONFIG", RootKey::None},
};

std::u16string_view root_name(RootKey root) {
    for (const auto& r : kRoots)
        if (r.root == root) return r.name;
    return {};
}

// The section name the key is stored under: root name, "\", sub-key.
bool section_for(const std::u16string& path, std::u16string& section) {
    const SplitKey key = split_root(path);
    if (key.root == RootKey::None) return false;
    section = std::u16string(root_name(key.root));
    if (!key.sub_key.empty()) section += u"\\" + key.sub_key;
    return true;
}

}  // namespace

SplitKey split_root(const std::u16string& path) {
    for (const auto& r : kRoots) {
        if (std::u16string_view(path).substr(0, r.name.size()) != r.name) continue;
        SplitKey key;
        key.root = r.root;
        if (r.root != RootKey::None && path.size() > r.name.size() + 1)
            key.sub_key = path.substr(r.name.size() + 1);
        return key;
    }
    return {};
}

bool read_string(const std::u16string& path, const std::u16string& name, std::u16string& out) {
    std::u16string section;
    if (!section_for(path, section)) return false;
    SettingsStore& store = SettingsStore::global();
    if (!store.has_key(section)) {
        store.create_key(section);
        return false;
    }
    const auto value = store.get(section, name);
    if (!value || value->type != RegValue::Type::String) return false;
    out = value->text;
    return true;
}

bool write_string(const std::u16string& path, const std::u16string& name,
                  const std::u16string& text) {
    std::u16string section;
    if (!section_for(path, section)) return false;
    // The stored text ends at its first zero, as a registry string does.
    return SettingsStore::global().set(section, name,
                                       RegValue::string(text.substr(0, text.find(u'\0'))));
}

bool read_dword(const std::u16string& path, const std::u16string& name, uint32_t& out) {
    std::u16string section;
    if (!section_for(path, section)) return false;
    SettingsStore& store = SettingsStore::global();
    if (!store.has_key(section)) {
        store.create_key(section);
        return false;
    }
    const auto value = store.get(section, name);
    if (!value || value->type != RegValue::Type::Dword) return false;
    out = value->dword;
    return true;
}

bool write_dword(const std::u16string& path, const std::u16string& name, uint32_t value) {
    std::u16string section;
    if (!section_for(path, section)) return false;
    return SettingsStore::global().set(section, name, RegValue::number(value));
}

}  // namespace vistrel
