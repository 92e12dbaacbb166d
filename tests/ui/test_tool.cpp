#include <gtest/gtest.h>

#include <string>

#include "platform/text.h"
#include "support/test_support.h"
#include "ui_test_support.h"

namespace vistrel {
namespace {

test::CommandResult run(const std::string& arguments) {
    return test::run_command(std::string(VISTREL_TOOL_PROGRAM) + " " + arguments);
}

TEST(LayoutTool, LaysOutAndRendersASkinMadeWithTheSkinCompiler) {
    test::TempDir dir;
    test::write_picture(dir.file("frame"), 4, 4, 0x07E0);
    const std::vector<uint8_t> bytes = test::compile_source(R"(
picture frame
node Screen { string type node
    color outside_color #000000
  node { string type htable
    node { string type color
        string id left color color #FF0000 point design_size 10 0 }
    node { string type image string id right picture src frame 0 0 0 0 4 4 4 4
           int table_ratio 1 point border_min 2 3 }
  }
}
)");
    test::write_file(dir.file("screen.skin"), std::string(bytes.begin(), bytes.end()));
    const std::string skin = dir.file("screen.skin");

    test::CommandResult layout = run("layout " + skin + " Screen 40 20");
    EXPECT_EQ(layout.status, 0) << layout.out;
    EXPECT_EQ(layout.out,
              "{} position=0 0 size=40 20 design_size=0 0 rs.size=0 0 kind=node visible=1"
              " enabled=1\n"
              "\t{} position=0 0 size=40 20 design_size=0 0 rs.size=0 0 kind=htable visible=1"
              " enabled=1\n"
              "\t\t{left} position=0 0 size=10 20 design_size=10 0 rs.size=0 0 kind=color"
              " visible=1 enabled=1\n"
              "\t\t{right} position=12 3 size=28 17 design_size=0 0 rs.size=0 0 kind=image"
              " visible=1 enabled=1\n");
    // At 192 dpi every point doubles.
    test::CommandResult doubled = run("layout " + skin + " Screen 40 20 --dpi 192");
    EXPECT_NE(doubled.out.find("{left} position=0 0 size=20 20 design_size=20 0"),
              std::string::npos)
        << doubled.out;

    const std::string png = dir.file("screen.png");
    test::CommandResult render = run("render " + skin + " Screen 40 20 " + png);
    EXPECT_EQ(render.status, 0) << render.out;
    const std::string written = test::read_file_bytes(png);
    ASSERT_GT(written.size(), 8u);
    EXPECT_EQ(written.substr(1, 3), "PNG");

    EXPECT_EQ(run("layout " + skin + " Missing 40 20").status, 1);
    EXPECT_EQ(run("layout " + dir.file("none.skin") + " Screen 40 20").status, 1);
    EXPECT_EQ(run("layout " + skin + " Screen 40").status, 2);
    EXPECT_EQ(run("render " + skin + " Screen 0 20 " + png).status, 2);
}

}  // namespace
}  // namespace vistrel
