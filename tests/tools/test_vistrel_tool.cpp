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

}  // namespace
}  // namespace vistrel
