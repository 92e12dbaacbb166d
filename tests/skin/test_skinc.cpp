// The skin compiler: its source form, the layout it writes, the art it converts, and the
// round trip through vistrel-tool skin.

#include <gtest/gtest.h>
#include <png.h>

#include <array>
#include <cstdio>
#include <memory>

#include "platform/text.h"
#include "render/bmp_file.h"
#include "skin/skin_image.h"
#include "skin_test_support.h"
#include "skinc/png_art.h"
#include "skinc/skin_compiler.h"
#include "skinc/skin_source.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

using namespace skin_format;
using test::TempDir;

std::string compile_error(const std::string& text) {
    skinc::SkinSource source;
    std::string error;
    std::vector<uint8_t> bytes;
    if (!skinc::parse_skin_source(text, source, error)) return error;
    if (!skinc::compile_skin(source, bytes, error)) return error;
    return "";
}

TEST(SkinSource, MistakesAreReportedWithTheirLine) {
    EXPECT_EQ(compile_error("node A {\n  int x\n}"), "line 3: expected a number");
    EXPECT_EQ(compile_error("node A {\n  point p 1 40000\n}"),
              "line 2: number 40000 out of range -32768..32767");
    EXPECT_EQ(compile_error("node A {\n  colour c 1 2 3\n}"),
              "line 2: unknown attribute kind \"colour\"");
    EXPECT_EQ(compile_error("node A {\n  string s \"open\n}"), "line 2: unterminated string");
    EXPECT_EQ(compile_error("node A {\n  node {\n"), "line 3: missing \"}\"");
    EXPECT_EQ(compile_error("widget A {}"),
              "line 1: expected \"picture\" or \"node\", found \"widget\"");
    EXPECT_EQ(compile_error("node A {\n int x 1\n int x 2\n}"),
              "line 1: repeated int attribute \"x\"");
    EXPECT_EQ(compile_error("node A {}\nnode A {}"), "line 2: node \"A\" is defined twice");
    EXPECT_EQ(compile_error("node A { picture p nope 0 0 0 0 1 1 1 1 }"),
              "line 1: picture \"nope\" is not declared");
    EXPECT_EQ(compile_error("picture p\npicture p"), "picture \"p\" is declared twice");
    EXPECT_EQ(compile_error("node A { string s \"a\\u0000b\" }"),
              "line 1: a string contains a zero character");
    EXPECT_EQ(compile_error("node A { int x 1 int y 0x10 int z -0x7FFFFFFF point p -1 +2 }"), "");
    EXPECT_EQ(compile_error("// only a comment\n"), "");

    std::string names = "node A {\n";
    for (int i = 0; i < 2000; ++i)
        names += "int attribute_name_number_" + std::to_string(i) + " 1\n";
    EXPECT_EQ(compile_error(names + "}"), "attribute names do not fit into the first 64 KiB");
}

TEST(SkinSource, CompiledLayout) {
    std::string text = "picture a\n";
    for (int i = 0; i < 15; ++i)
        text += "node N" + std::to_string(100 + i) + " { int i " + std::to_string(i) + " }\n";
    text +=
        "node Top { string s \"\\u00E9t\\u00E9 \\\"q\\\"\" string t b string u \"\\uD83D\\uDE00\" "
        "font f \"9 0 0 0 X\" font g \"9 0 0 0 X\" picture p a 1 2 3 4 5 6 7 8 9 color c 1 2 3 }\n";
    const std::vector<uint8_t> bytes = test::compile_source(text);
    const auto image = SkinImage::open(bytes);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->font_count(), 1);  // the same description once
    EXPECT_EQ(image->text_count(), 3);
    const NodeHandle top = image->find_node(u"Top");
    EXPECT_EQ(image->text(decode_string(image->find_entry(top, AttributeKind::String, u"s")).text),
              u"\u00E9t\u00E9 \"q\"");
    EXPECT_EQ(image->text(decode_string(image->find_entry(top, AttributeKind::String, u"u")).text),
              u"\U0001F600");
    const PictureNode p = decode_picture(image->find_entry(top, AttributeKind::Picture, u"p"));
    EXPECT_EQ(p.x0, 1);
    EXPECT_EQ(p.y3, 8);
    EXPECT_EQ(p.flag, 9);
    EXPECT_EQ(bytes[static_cast<size_t>(image->find_entry(top, AttributeKind::Colour, u"c") -
                                        image->data()) +
                    7],
              255);

    // 16 top-level nodes in a balanced tree: no path longer than 5 records.
    std::function<int(int32_t)> depth = [&](int32_t record) {
        return record == kNoRecord ? 0
                                   : 1 + std::max(depth(load_i32(&bytes[record])),
                                                  depth(load_i32(&bytes[record + 4])));
    };
    EXPECT_EQ(depth(load_i32(&bytes[kRootField])), 5);
    for (int i = 0; i < 15; ++i) {
        const NodeHandle n = image->find_node(u"N" + std::u16string(u"1") + (i < 10 ? u"0" : u"1") +
                                              static_cast<char16_t>(u'0' + i % 10));
        ASSERT_TRUE(n) << i;
        EXPECT_EQ(decode_integer(image->entry(n, AttributeKind::Integer, 0)).value, i);
    }
}

TEST(SkinSource, PrintedFormCompilesToTheSameBytes) {
    const char* const text = R"(
picture "art/frame"
picture plain
node "Spaced name" {
    int z 3 int a -1
    string "two words" "line\nbreak\ttab \\ \u0001 \uD800"
    string id "#text"
    string empty ""
    point p -5 7
    font f "14 1 0 0 DejaVu Sans"
    picture pic "art/frame" 0 0 6 6 10 10 16 16 1
    picture other plain 0 0 0 0 4 4 4 4
    color c #FF8000
    node { string type x node { node { int deep 1 } } }
    node { }
}
node "//comment-like" { }
node "" { }
)";
    const std::vector<uint8_t> first = test::compile_source(text);
    const auto image = SkinImage::open(first);
    ASSERT_TRUE(image);
    const std::string printed = skinc::format_skin_source(skinc::skin_source_from_image(*image));
    const std::vector<uint8_t> second = test::compile_source(printed);
    EXPECT_EQ(first, second) << printed;
    EXPECT_NE(printed.find("node \"Spaced name\" {"), std::string::npos);
    EXPECT_NE(printed.find("color c #FF8000"), std::string::npos);
    EXPECT_NE(printed.find("\\uD800"), std::string::npos);
}

TEST(SkinArt, PixelsFromRgba) {
    EXPECT_EQ(skinc::art_pixel(255, 255, 255, 255), 0xFFFF);
    EXPECT_EQ(skinc::art_pixel(0, 0, 0, 255), kOpaqueFlag);
    EXPECT_EQ(skinc::art_pixel(12, 200, 7, 0), kColourKey);
    EXPECT_EQ(skinc::art_pixel(255, 0, 255, 255), 0xF83F);  // opaque magenta is not the key
    const Pixel half = skinc::art_pixel(255, 255, 255, 128);
    EXPECT_EQ(half & kOpaqueFlag, 0);
    EXPECT_EQ(half, to_pixel(128, 128, 128) & ~kOpaqueFlag);
    EXPECT_NE(skinc::art_pixel(255, 0, 255, 254), kColourKey);
}

void write_rgba_png(const std::string& path, int w, int h, const std::vector<uint8_t>& rgba) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(w);
    image.height = static_cast<png_uint_32>(h);
    image.format = PNG_FORMAT_RGBA;
    ASSERT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr));
}

test::CommandResult run(const std::string& command) {
    return test::run_command(command);
}

TEST(SkinTools, CompilePrintRecompileAndCheck) {
    TempDir dir;
    std::filesystem::create_directories(dir.path() / "src" / "icons");
    // 2 x 2: transparent, opaque red, half-transparent white, opaque blue.
    write_rgba_png(dir.file("src/icons/dot.png"), 2, 2,
                   {0, 0, 0, 0, 255, 0, 0, 255, 255, 255, 255, 128, 0, 0, 255, 255});
    test::write_file(dir.file("src/demo.skinsrc"),
                     "picture icons/dot\nnode Demo {\n  picture p icons/dot 0 0 0 0 2 2 2 2\n"
                     "  font f \"10 0 0 0 DejaVu Sans\"\n  string text Cancel\n}\n");
    const std::string skinc = SKINC_PROGRAM;
    const std::string tool = VISTREL_TOOL_PROGRAM;
    test::CommandResult compiled =
        run(skinc + " " + dir.file("src/demo.skinsrc") + " -o " + dir.file("bin/demo.skin"));
    ASSERT_EQ(compiled.status, 0) << compiled.out;

    // No art at twice the density: none beside the skin.
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "bin" / "icons" / "dot@2x.bmp"));
    FileStream bmp(from_utf8(dir.file("bin/icons/dot.bmp")), OpenMode::Read);
    const auto bitmap = read_bmp_565(bmp);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->row(0)[0], kColourKey);
    EXPECT_EQ(bitmap->row(0)[1], 0xF800 | kOpaqueFlag);
    EXPECT_EQ(bitmap->row(1)[0], skinc::art_pixel(255, 255, 255, 128));
    EXPECT_EQ(bitmap->row(1)[1], 0x001F | kOpaqueFlag);

    test::CommandResult printed = run(tool + " skin " + dir.file("bin/demo.skin"));
    ASSERT_EQ(printed.status, 0) << printed.out;
    test::write_file(dir.file("printed.skinsrc"), printed.out);
    // The printed form compiles to the same bytes, with the converted art as its art.
    test::CommandResult again = run(skinc + " " + dir.file("printed.skinsrc") + " -o " +
                                    dir.file("again/demo.skin") + " --art " + dir.file("bin"));
    ASSERT_EQ(again.status, 0) << again.out;
    EXPECT_EQ(test::read_file_bytes(dir.file("again/demo.skin")),
              test::read_file_bytes(dir.file("bin/demo.skin")));

    test::CommandResult check =
        run(tool + " skin " + dir.file("bin/demo.skin") + " --check --dpi 192");
    // It loads, but it is no screen skin: the check names what the screens would miss.
    EXPECT_EQ(check.status, 1) << check.out;
    EXPECT_NE(check.out.find("missing: Main\n"), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("scale shift 1"), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("picture 0: icons/dot (2 x 2)"), std::string::npos) << check.out;

    std::filesystem::remove(dir.path() / "bin" / "icons" / "dot.bmp");
    EXPECT_EQ(run(tool + " skin " + dir.file("bin/demo.skin") + " --check").status, 1);
    test::write_file(dir.file("bad.skin"), std::string(100, 'x'));
    test::CommandResult bad = run(tool + " skin " + dir.file("bad.skin"));
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.out.find("magic"), std::string::npos) << bad.out;
    EXPECT_EQ(run(tool + " skin").status, 2);

    test::write_file(dir.file("evil.skinsrc"), "picture ../outside\n");
    EXPECT_EQ(run(skinc + " " + dir.file("evil.skinsrc") + " -o " + dir.file("x/evil.skin")).status,
              1);
    EXPECT_EQ(
        run(skinc + " " + dir.file("src/missing.skinsrc") + " -o " + dir.file("x.skin")).status, 1);
    EXPECT_EQ(run(skinc).status, 2);
}

TEST(SkinTools, ArtAtTwiceTheDensityGoesBesideTheSkinWhenItIsTwiceTheSize) {
    TempDir dir;
    write_rgba_png(dir.file("dot.png"), 1, 1, {255, 0, 0, 255});
    write_rgba_png(dir.file("dot@2x.png"), 2, 2, std::vector<uint8_t>(16, 255));
    test::write_file(dir.file("demo.skinsrc"), "picture dot\nnode Demo { }\n");
    const std::string skinc = std::string(SKINC_PROGRAM) + " " + dir.file("demo.skinsrc") + " -o ";
    test::CommandResult compiled = run(skinc + dir.file("bin/demo.skin"));
    ASSERT_EQ(compiled.status, 0) << compiled.out;
    FileStream bmp(from_utf8(dir.file("bin/dot@2x.bmp")), OpenMode::Read);
    const auto dense = read_bmp_565(bmp);
    ASSERT_TRUE(dense);
    EXPECT_EQ(dense->size(), (Size{2, 2}));
    write_rgba_png(dir.file("dot@2x.png"), 3, 2, std::vector<uint8_t>(24, 255));
    compiled = run(skinc + dir.file("bin/demo.skin"));
    EXPECT_EQ(compiled.status, 1);
    EXPECT_NE(compiled.out.find("not twice the size"), std::string::npos) << compiled.out;
}

TEST(SkinTools, LanguageTables) {
    TempDir dir;
    test::write_file(dir.file("x.lng"), std::string("\xFF\xFE"
                                                    "b\0=\0B\0\n\0a\0 \0A\0",
                                                    16));
    const std::string tool = VISTREL_TOOL_PROGRAM;
    test::CommandResult table = run(tool + " lang " + dir.file("x.lng"));
    EXPECT_EQ(table.status, 0);
    EXPECT_EQ(table.out, "a=A\nb=B\n");
    EXPECT_EQ(run(tool + " lang " + dir.file("x.lng") + " a").out, "A\n");
    EXPECT_EQ(run(tool + " lang " + dir.file("x.lng") + " zz").out, "zz\n");
    EXPECT_EQ(run(tool + " lang " + dir.file("none.lng")).status, 1);
    EXPECT_EQ(run("LC_ALL=ru_RU.UTF-8 " + tool + " lang --system").out, "0x0419 RU RUSSIAN\n");
    EXPECT_NE(run(tool + " lang --names").out.find("97 NE NEPALI\n"), std::string::npos);
    EXPECT_EQ(run(tool + " lang").status, 2);
}

}  // namespace
}  // namespace vistrel
