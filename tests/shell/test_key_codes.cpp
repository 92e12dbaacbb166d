#include <gtest/gtest.h>

#include "platform/registry.h"
#include "platform/settings_store.h"
#include "platform/trace.h"
#include "display/sdl_keys.h"
#include "shell/key_codes.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

TEST(KeyCodes, VirtualKeysMapToTheProgramsCodes) {
    EXPECT_EQ(key_from_virtual_key(8), key::Backspace);
    EXPECT_EQ(key_from_virtual_key(27), key::Esc);
    EXPECT_EQ(key_from_virtual_key(107), key::Plus);
    EXPECT_EQ(key_from_virtual_key(187), key::Plus);
    EXPECT_EQ(key_from_virtual_key(109), key::Minus);
    EXPECT_EQ(key_from_virtual_key(189), key::Minus);
    EXPECT_EQ(key_from_virtual_key(122), key::F11);
    EXPECT_EQ(key_from_virtual_key(13), key::Enter);
    EXPECT_EQ(key_from_virtual_key(37), key::Left);
    EXPECT_EQ(key_from_virtual_key(38), key::Up);
    EXPECT_EQ(key_from_virtual_key(39), key::Right);
    EXPECT_EQ(key_from_virtual_key(40), key::Down);
    EXPECT_EQ(key_from_virtual_key(33), key::PageUp);
    EXPECT_EQ(key_from_virtual_key(34), key::PageDown);
    EXPECT_EQ(key_from_virtual_key('0'), key::Digit0);
    EXPECT_EQ(key_from_virtual_key('9'), key::Digit9);
    EXPECT_EQ(key_from_virtual_key('A'), key::A);
    EXPECT_EQ(key_from_virtual_key('Z'), key::Z);
    EXPECT_EQ(key_from_virtual_key(112), key::SoftLeft);
    EXPECT_EQ(key_from_virtual_key(113), key::SoftRight);
    EXPECT_EQ(key_from_virtual_key(119), key::Star);
    EXPECT_EQ(key_from_virtual_key(120), key::Pound);
    for (uint32_t unmapped : {0u, 1u, 12u, 47u, 91u, 116u, 121u, 255u, 256u, 0xFFFFFFFFu})
        EXPECT_EQ(key_from_virtual_key(unmapped), key::None) << unmapped;
}

TEST(KeyCodes, NamesAndCodesMatchBothWays) {
    EXPECT_EQ(key_name(key::None), "None");
    EXPECT_EQ(key_name(key::SoftLeft), "SOFT_LEFT");
    EXPECT_EQ(key_name(key::Star), "*");
    EXPECT_EQ(key_name(key::A + 2), "C");
    EXPECT_EQ(key_name(key::Digit0 + 7), "7");
    EXPECT_EQ(key_name(key::Plus), "Plus");
    EXPECT_EQ(key_name(key::Last + 1), "");
    EXPECT_EQ(key_name(-1), "");
    for (KeyCode code = 0; code <= key::Last; ++code) {
        const std::string_view name = key_name(code);
        ASSERT_FALSE(name.empty()) << code;
        const std::u16string wide(name.begin(), name.end());
        EXPECT_EQ(key_from_name(wide), code) << name;
    }
}

TEST(KeyCodes, NameSearchComparesLetterCase) {
    EXPECT_FALSE(key_from_name(u"soft_left").has_value());
    EXPECT_FALSE(key_from_name(u"esc").has_value());
    EXPECT_EQ(key_from_name(u"Esc"), key::Esc);
    EXPECT_FALSE(key_from_name(u"").has_value());
    EXPECT_FALSE(key_from_name(u"Enter ").has_value());
}

TEST(KeyCodes, DesktopKeysReachTheHandheldKeys) {
    constexpr int32_t kScancodeBit = 1 << 30;
    EXPECT_EQ(key_from_virtual_key(virtual_key_from_sdl('a')), key::A);
    EXPECT_EQ(key_from_virtual_key(virtual_key_from_sdl('5')), key::Digit0 + 5);
    EXPECT_EQ(key_from_virtual_key(virtual_key_from_sdl('\r')), key::Enter);
    EXPECT_EQ(key_from_virtual_key(virtual_key_from_sdl(27)), key::Esc);
    EXPECT_EQ(key_from_virtual_key(virtual_key_from_sdl('=')), key::Plus);
    EXPECT_EQ(key_from_virtual_key(virtual_key_from_sdl('-')), key::Minus);
    EXPECT_EQ(key_from_virtual_key(virtual_key_from_sdl(68 | kScancodeBit)), key::F11);
    EXPECT_EQ(virtual_key_from_sdl(80 | kScancodeBit), 37u);  // left arrow
    EXPECT_EQ(virtual_key_from_sdl(82 | kScancodeBit), 38u);  // up arrow
    EXPECT_EQ(virtual_key_from_sdl(58 | kScancodeBit), 112u);  // F1: left soft key
    EXPECT_EQ(virtual_key_from_sdl(59 | kScancodeBit), 113u);
    EXPECT_EQ(virtual_key_from_sdl(60 | kScancodeBit), 114u);
    EXPECT_EQ(virtual_key_from_sdl(64 | kScancodeBit), 118u);  // F7: volume down
    EXPECT_EQ(virtual_key_from_sdl(66 | kScancodeBit), 120u);  // F9: pound
    EXPECT_EQ(virtual_key_from_sdl(118 | kScancodeBit), 93u);  // Menu
    EXPECT_EQ(virtual_key_from_sdl(62 | kScancodeBit), 0u);    // F5 has no counterpart
}

TEST(KeyCodes, TraceWritesNamesAndNothingForUnknownCodes) {
    test::TempDir dir;
    test::ScopedEnv tmp("TMPDIR", dir.str());
    SettingsStore::use_file(dir.file("settings.reg"));
    ASSERT_TRUE(write_dword(kTekuKey, kLogValue, 1));
    trace() << "[" << KeyName{key::Left} << "][" << KeyName{99} << "]\n";
    ASSERT_TRUE(write_dword(kTekuKey, kLogValue, 0));
    const std::string bytes = test::read_file_bytes(dir.file("test_shell.txt"));
    std::string narrow;
    for (size_t i = 2; i < bytes.size(); i += 2) narrow.push_back(bytes[i]);
    EXPECT_EQ(narrow, "[Left][]\n");
}

}  // namespace
}  // namespace vistrel
