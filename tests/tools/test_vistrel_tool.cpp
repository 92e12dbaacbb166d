#include <gtest/gtest.h>

#include "support/test_support.h"

namespace vistrel {
namespace {

using test::ScopedEnv;
using test::TempDir;

test::CommandResult tool(const std::vector<std::string>& args) {
    return test::run_program(VISTREL_TOOL, args);
}

TEST(VistrelTool, UsageAndUnknownCommands) {
    test::CommandResult help = tool({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("settings"), std::string::npos);
    EXPECT_NE(help.out.find("expand"), std::string::npos);
    EXPECT_EQ(tool({}).status, 2);
    test::CommandResult unknown = tool({"frobnicate"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.out.find("unknown command"), std::string::npos);
    EXPECT_EQ(tool({"settings", "get", "only-one"}).status, 2);
    EXPECT_EQ(tool({"settings", "set", "HKEY_CURRENT_USER\\X", "N", "12x", "--dword"}).status, 2);
    EXPECT_EQ(tool({"settings", "get", "HKEY_CURRENT_USER\\X", "N", "--bogus"}).status, 2);
}

TEST(VistrelTool, SettingsSetAndGet) {
    TempDir dir;
    ScopedEnv settings("VISTREL_SETTINGS", dir.file("s.reg"));
    const std::string key = "HKEY_CURRENT_USER\\Software\\TEKU";
    EXPECT_EQ(tool({"settings", "set", key, "Log", "1", "--dword"}).status, 0);
    EXPECT_EQ(tool({"settings", "set", key + "\\Vistrel", "Skin", "night sky"}).status, 0);
    test::CommandResult log = tool({"settings", "get", key, "Log"});
    EXPECT_EQ(log.status, 0);
    EXPECT_EQ(log.out, "1\n");
    EXPECT_EQ(tool({"settings", "get", key + "\\Vistrel", "Skin"}).out, "night sky\n");
    EXPECT_EQ(tool({"settings", "get", key, "Missing"}).status, 1);
    EXPECT_EQ(tool({"settings", "get", "HKEY_CURRENT_CONFIG\\X", "A"}).status, 1);
    EXPECT_NE(test::read_file_bytes(dir.file("s.reg")).find("\"Log\"=dword:00000001"),
              std::string::npos);
}

TEST(VistrelTool, ExpandShowsWhatAMacroStandsFor) {
    TempDir dir;
    ScopedEnv docs("VISTREL_DOCUMENTS", dir.str());
    test::CommandResult r = tool({"expand", "%my_documents%\\DCIM\\a.jpg"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, dir.str() + "/DCIM/a.jpg\n");
    test::CommandResult app = tool({"expand", "%app_name%"});
    EXPECT_EQ(app.out, "vistrel-tool\n");
    EXPECT_EQ(tool({"expand"}).status, 2);
}

// A bitmap the reader accepts but that no PNG file can hold is refused before writing.
TEST(VistrelTool, BmpRefusesSidesAPngCannotHold) {
    TempDir dir;
    const uint32_t width = 1000001;
    std::string bmp(54, '\0');
    const auto put = [&](size_t at, uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            bmp[at + i] = char(value >> (8 * i));
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, width, 4);
    put(22, 1, 4);
    put(26, 1, 2);
    put(28, 16, 2);
    bmp.append((2 * width + 3) / 4 * 4, '\x1f');  // the whole row
    test::write_file(dir.file("wide.bmp"), bmp);
    const test::CommandResult result = tool({"bmp", dir.file("wide.bmp"), dir.file("wide.png")});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.out.find("1000001 x 1; a PNG file holds at most 1000000 pixels a side"),
              std::string::npos)
        << result.out;
}

}  // namespace
}  // namespace vistrel
