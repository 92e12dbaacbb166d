#pragma once
// Registry-style access to the settings store: a key path beginning with a root name
// ("HKEY_CURRENT_USER\Software\TEKU"), value names, string and 32-bit values.

#include <cstdint>
#include <string>

namespace vistrel {

enum class RootKey { None, ClassesRoot, LocalMachine, Users, CurrentUser };

struct SplitKey {
    RootKey root = RootKey::None;
    std::u16string sub_key;  // the text after the root name and one following character
};

// The root names are tested in order, each as a plain prefix; "HKEY_CURRENT_CONFIG" and
// anything else name no key.
SplitKey split_root(const std::u16string& path);

// A missing key is created (empty) and the read fails; an empty string reads as empty
// with true; a value of another type reads as false. `out` is unchanged on failure.
bool read_string(const std::u16string& path, const std::u16string& name, std::u16string& out);
bool write_string(const std::u16string& path, const std::u16string& name,
                  const std::u16string& text);
bool read_dword(const std::u16string& path, const std::u16string& name, uint32_t& out);
bool write_dword(const std::u16string& path, const std::u16string& name, uint32_t value);

// The program's keys and values.
inline constexpr char16_t kTekuKey[] = u"HKEY_CURRENT_USER\\Software\\TEKU";
inline constexpr char16_t kAppKey[] = u"HKEY_CURRENT_USER\\Software\\TEKU\\Vistrel";
inline constexpr char16_t kLogValue[] = u"Log";
inline constexpr char16_t kSipPreferenceValue[] = u"SIPPreference";
inline constexpr char16_t kLanguageValue[] = u"Language";
inline constexpr char16_t kSkinValue[] = u"Skin";
// The most threads that build cache files at once (a dword; 0 or missing: one per
// processor, at most 8).
inline constexpr char16_t kBuildThreadsValue[] = u"BuildThreads";
// 1: no cache file is built until a script lets the builds go (a dword; for scripted
// sessions that look at pictures before their cache files exist).
inline constexpr char16_t kHoldBuildsValue[] = u"HoldBuilds";

}  // namespace vistrel
