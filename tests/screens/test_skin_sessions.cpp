// Skin picks in the running program: a skin that loads but cannot show every screen is
// refused from the menu and passed over at start.

#include <gtest/gtest.h>

#include "app_session.h"
#include "skin_test_support.h"

namespace vistrel::test {
namespace {

constexpr char kStart[] = "settle 8000\n";
constexpr char kOpenMenu[] = "settle 8000\ntap 15 15\nsettle 3000\n";

std::string tap_at(const DumpLine& line) {
    return "tap " + std::to_string(line.centre().x) + " " + std::to_string(line.centre().y) + "\n";
}

// A session with a second skin "bare" that has a splash and nothing else.
class SkinSession : public ::testing::Test {
protected:
    SkinSession() : session({"SkinIncomplete=This skin cannot be used", "Skin#bare=Bare"}) {
        const auto bytes = compile_source("node Splash { string type node }");
        write_file(session.app() + "/skins/bin/bare.skin", std::string(bytes.begin(), bytes.end()));
    }
    AppSession session;
};

TEST_F(SkinSession, MenuRefusesAnIncompleteSkinAndRemembersNothing) {
    ASSERT_EQ(session.run(std::string(kOpenMenu) + "dump " + session.file("m1.txt")), 0);
    const Dump menu = session.dump("m1.txt");
    const DumpLine* skin = menu.with_text("Skin");
    ASSERT_NE(skin, nullptr);
    const std::string open_skins = kOpenMenu + tap_at(*skin) + "settle 3000\n";
    ASSERT_EQ(session.run(open_skins + "dump " + session.file("m2.txt")), 0);
    const Dump skins = session.dump("m2.txt");
    const DumpLine* bare = skins.with_text("Bare");
    ASSERT_NE(bare, nullptr);
    ASSERT_EQ(session.run(open_skins + tap_at(*bare) + "settle 3000\ndump " +
                          session.file("m3.txt")),
              0);
    const Dump refused = session.dump("m3.txt");
    EXPECT_EQ(refused.screens, 2);  // the menu, over the album screen built from "default"
    EXPECT_NE(refused.with_text("This skin cannot be used"), nullptr);
    EXPECT_EQ(read_file_bytes(session.file("settings.reg")).find("bare"), std::string::npos);
}

TEST_F(SkinSession, StartPassesOverARememberedIncompleteSkin) {
    write_file(session.file("settings.reg"),
               "[HKEY_CURRENT_USER\\Software\\TEKU\\Vistrel]\n\"Skin\"=\"bare\"\n");
    ASSERT_EQ(session.run(std::string(kStart) + "dump " + session.file("d.txt")), 0);
    EXPECT_EQ(session.dump("d.txt").top(), "AlbumScreen");
}

}  // namespace
}  // namespace vistrel::test
