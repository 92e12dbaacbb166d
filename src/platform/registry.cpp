#include "platform/registry.h"

#include <optional>
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

namespace {

// A value of `type` under the key, as a read of the registry finds it: a key that does not
// exist is created (empty) and the read fails; a value of another type is no value.
std::optional<RegValue> read_value(const std::u16string& path, const std::u16string& name,
                                   RegValue::Type type) {
    std::u16string section;
    if (!section_for(path, section)) return std::nullopt;
    SettingsStore& store = SettingsStore::global();
    if (!store.has_key(section)) {
        store.create_key(section);
        return std::nullopt;
    }
    auto value = store.get(section, name);
    if (!value || value->type != type) return std::nullopt;
    return value;
}

bool write_value(const std::u16string& path, const std::u16string& name, const RegValue& value) {
    std::u16string section;
    return section_for(path, section) && SettingsStore::global().set(section, name, value);
}

}  // namespace

bool read_string(const std::u16string& path, const std::u16string& name, std::u16string& out) {
    const auto value = read_value(path, name, RegValue::Type::String);
    if (value) out = value->text;
    return value.has_value();
}

bool write_string(const std::u16string& path, const std::u16string& name,
                  const std::u16string& text) {
    // The stored text ends at its first zero, as a registry string does.
    return write_value(path, name, RegValue::string(text.substr(0, text.find(u'\0'))));
}

bool read_dword(const std::u16string& path, const std::u16string& name, uint32_t& out) {
    const auto value = read_value(path, name, RegValue::Type::Dword);
    if (value) out = value->dword;
    return value.has_value();
}

bool write_dword(const std::u16string& path, const std::u16string& name, uint32_t value) {
    return write_value(path, name, RegValue::number(value));
}

}  // namespace vistrel
