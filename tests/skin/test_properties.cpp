// Properties: a skin compiled by skinc loads from disk with its pictures and fonts, and
// every kind of attribute reads back, scaled on a 192-dpi screen.

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/text.h"
#include "render/picture.h"
#include "render/pixel_op.h"
#include "render/render_surface.h"
#include "skin/properties.h"
#include "skin_test_support.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

using skin_format::AttributeKind;
using test::TempDir;

const char* const kSource = R"(
picture frame
picture "sub/bar"
node Screen {
    int cache 1
    int negative -7
    font font "14 1 0 0 DejaVu Sans"
    point border_min 3 -2
    string text Cancel
    string id "#text"
    picture picture "sub/bar" 0 0 10 10 20 20 30 30 1
    picture whole frame 0 0 0 0 8 4 8 4
    color color #102030
    node { string type first }
    node { string type second }
}
node Empty { }
)";

class PropertiesTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto bytes = test::compile_source(kSource);
        test::write_file(dir.file("test.skin"), std::string(bytes.begin(), bytes.end()));
        test::write_picture(dir.file("frame"), 8, 4, 0x1234);
        std::filesystem::create_directory(dir.path() / "sub");
        test::write_picture(dir.file("sub/bar"), 30, 30, 0xFFFF);
        path = dir.u16() + u"/test.skin";
    }
    ScreenInfo screen(int dpi) {
        ScreenInfo s;
        s.dpi = dpi;
        return s;
    }

    TempDir dir;
    std::u16string path;
};

TEST_F(PropertiesTest, EveryAttributeKindAt96Dpi) {
    Properties p;
    ASSERT_TRUE(p.load_skin(path, screen(96)));
    EXPECT_EQ(p.skin_path(), path);
    EXPECT_EQ(p.scale_shift(), 0);
    const NodeHandle node = p.find_node(u"Screen");
    ASSERT_TRUE(node);
    EXPECT_EQ(p.get_integer(node, u"cache", 0), 1);
    EXPECT_EQ(p.get_integer(node, u"negative", 0), -7);
    EXPECT_EQ(p.get_point(node, u"border_min", {}), (Point{3, -2}));
    EXPECT_EQ(p.get_string(node, u"text"), u"Cancel");
    EXPECT_EQ(p.get_string(node, u"id"), u"#text");
    EXPECT_EQ(p.get_color(node, u"color"), (Colour{0x10, 0x20, 0x30, 255}));

    const FontHandle font = p.get_font(node, u"font");
    ASSERT_TRUE(font);
    EXPECT_EQ(font->description().size, 14);
    EXPECT_TRUE(font->description().bold);
    EXPECT_EQ(font->description().face, u"DejaVu Sans");
    EXPECT_EQ(font->description().scale, 1);
    EXPECT_EQ(font->height(), -18);

    const PictureReference bar = p.get_picture(node, u"picture");
    ASSERT_FALSE(bar.empty());
    EXPECT_EQ(bar.p1, (Point{10, 10}));
    EXPECT_EQ(bar.p3, (Point{30, 30}));
    EXPECT_EQ(bar.shift, 0);
    EXPECT_TRUE(bar.flag);
    EXPECT_EQ(bar.picture.size(), (Size{30, 30}));
    EXPECT_EQ(bar.natural_size(), (Size{30, 30}));
    EXPECT_EQ(p.skin()->pictures()[1].picture.get(), bar.picture.get());  // shared, not copied

    ASSERT_EQ(p.child_count(node), 2);
    EXPECT_EQ(p.get_string(p.child(node, 1), u"type"), u"second");
    EXPECT_EQ(p.attribute_count(node, AttributeKind::Picture), 2);
    EXPECT_EQ(p.attribute_count(p.find_node(u"Empty"), AttributeKind::Point), 0);
}

TEST_F(PropertiesTest, At192DpiPointsPicturesAndFontsDouble) {
    Properties p;
    ASSERT_TRUE(p.load_skin(path, screen(192)));
    EXPECT_EQ(p.scale_shift(), 1);
    const NodeHandle node = p.find_node(u"Screen");
    EXPECT_EQ(p.get_point(node, u"border_min", {}), (Point{6, -4}));
    EXPECT_EQ(p.get_integer(node, u"negative", 0), -7);  // integers are not scaled
    const PictureReference bar = p.get_picture(node, u"picture");
    EXPECT_EQ(bar.p0, (Point{0, 0}));
    EXPECT_EQ(bar.p1, (Point{20, 20}));
    EXPECT_EQ(bar.p2, (Point{40, 40}));
    EXPECT_EQ(bar.p3, (Point{60, 60}));
    EXPECT_EQ(bar.shift, 1);
    EXPECT_EQ(p.get_font(node, u"font")->description().scale, 2);
    EXPECT_EQ(p.get_font(node, u"font")->height(), -37);  // 14 * 2 * -96 / 72

    // Defaults come back as given, unscaled.
    EXPECT_EQ(p.get_point(node, u"missing", {5, 7}), (Point{5, 7}));
    EXPECT_EQ(p.get_point(NodeHandle(), u"border_min", {1, 1}), (Point{1, 1}));
    EXPECT_EQ(p.get_integer(node, u"missing", 42), 42);
    EXPECT_EQ(p.get_string(node, u"missing", u"fallback"), u"fallback");
    EXPECT_EQ(p.get_color(node, u"missing", Colour{1, 2, 3, 4}), (Colour{1, 2, 3, 4}));
    EXPECT_TRUE(p.get_picture(node, u"missing").empty());
    EXPECT_EQ(p.get_font(node, u"missing"), nullptr);
    EXPECT_FALSE(p.child(node, 5));
}

TEST_F(PropertiesTest, At192DpiAPictureTwiceAsDenseIsDrawnPixelForPixel) {
    // "sub/bar@2x" is twice the size of "sub/bar"; "frame@2x" is not, and is left alone.
    test::write_picture(dir.file("sub/bar@2x"), 60, 60, 0x0F0F);
    test::write_picture(dir.file("frame@2x"), 15, 8, 0x0F0F);
    Properties p;
    ASSERT_TRUE(p.load_skin(path, screen(192)));
    const NodeHandle node = p.find_node(u"Screen");
    const PictureReference bar = p.get_picture(node, u"picture");
    EXPECT_EQ(bar.picture.size(), (Size{60, 60}));
    EXPECT_EQ(bar.shift, 0);
    EXPECT_EQ(bar.p3, (Point{60, 60}));
    EXPECT_TRUE(p.skin()->dense(1));
    const PictureReference frame = p.get_picture(node, u"whole");
    EXPECT_EQ(frame.picture.size(), (Size{8, 4}));
    EXPECT_EQ(frame.shift, 1);
    EXPECT_FALSE(p.skin()->dense(0));
    RenderSurface surface(Size{60, 60});
    bar.draw(surface, {0, 0}, {60, 60}, CopyOp());
    EXPECT_EQ(surface.bitmap()->row(59)[59], 0x0F0F);
    // At 96 dpi the picture itself.
    ASSERT_TRUE(p.load_skin(path, screen(96)));
    EXPECT_EQ(p.get_picture(p.find_node(u"Screen"), u"picture").picture.size(), (Size{30, 30}));
}

TEST_F(PropertiesTest, PictureReferencesDrawTheirPicture) {
    Properties p;
    ASSERT_TRUE(p.load_skin(path, screen(96)));
    // The picture list holds the whole picture as the repeated middle: drawn twice as wide
    // it repeats side by side.
    const PictureReference whole = p.skin()->pictures()[0];
    EXPECT_EQ(whole.p1, (Point{0, 0}));
    EXPECT_EQ(whole.p2, (Point{8, 4}));
    RenderSurface surface(Size{20, 6});
    surface.fill_pixel({0, 0}, {20, 6}, 0);
    whole.draw(surface, {1, 1}, {16, 4}, CopyOp());
    int drawn = 0;
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 20; ++x)
            drawn += surface.bitmap()->row(y)[x] == 0x1234;
    EXPECT_EQ(drawn, 64);
    EXPECT_EQ(surface.bitmap()->row(1)[16], 0x1234);
    EXPECT_EQ(surface.bitmap()->row(1)[17], 0);
    PictureReference().draw(surface, {0, 0}, {20, 6},
                            CopyOp());  // the empty reference draws nothing
    EXPECT_EQ(surface.bitmap()->row(0)[0], 0);
}

TEST_F(PropertiesTest, FailedLoadsKeepTheCurrentSkin) {
    Properties p;
    EXPECT_FALSE(p.load_skin(dir.u16() + u"/missing.skin", screen(96)));
    EXPECT_FALSE(p.has_skin());
    EXPECT_FALSE(p.find_node(u"Screen"));
    ASSERT_TRUE(p.load_skin(path, screen(96)));

    // A picture that is missing, or not 16-bit, fails the whole skin.
    test::write_file(dir.file("broken.skin"), test::read_file_bytes(dir.file("test.skin")));
    std::filesystem::remove(dir.path() / "sub" / "bar.bmp");
    EXPECT_FALSE(p.load_skin(dir.u16() + u"/broken.skin", screen(96)));
    std::string bmp8(54, '\0');
    bmp8[10] = 54;
    bmp8[18] = bmp8[22] = 1;
    bmp8[28] = 8;
    test::write_file(dir.file("sub/bar.bmp"), bmp8 + "xxxx");
    EXPECT_FALSE(p.load_skin(dir.u16() + u"/broken.skin", screen(96)));
    test::write_file(dir.file("damaged.skin"),
                     test::read_file_bytes(dir.file("test.skin")).substr(0, 200));
    EXPECT_FALSE(p.load_skin(dir.u16() + u"/damaged.skin", screen(96)));

    EXPECT_EQ(p.skin_path(), path);
    EXPECT_EQ(p.get_integer(p.find_node(u"Screen"), u"cache", 0), 1);
}

TEST_F(PropertiesTest, FontsThatCannotBeCreatedDrawNothing) {
    const auto bytes =
        test::compile_source(R"(node N { font zero "0 0 0 0 x" font partial "14 1" })");
    SkinResources resources = SkinResources::system();
    auto skin = std::make_unique<PropertiesImpl>(bytes, u"mem.skin", screen(96), resources);
    ASSERT_TRUE(skin->loaded());
    const NodeHandle n = skin->find_node(u"N");
    const FontHandle zero = skin->get_font(n, u"zero", nullptr);
    EXPECT_FALSE(zero->valid());
    EXPECT_EQ(zero->line_height(), 20);
    EXPECT_EQ(zero->descent(), 0);
    EXPECT_EQ(zero->text_width(u"text"), 0);
    const FontHandle partial = skin->get_font(n, u"partial", nullptr);
    EXPECT_EQ(partial->description().size, 14);
    EXPECT_TRUE(partial->description().bold);
    EXPECT_EQ(partial->description().face, u"Tahoma");
    EXPECT_TRUE(partial->valid());  // "Tahoma" falls back to an installed face
}

struct RecordingListener : SkinListener {
    RecordingListener(std::vector<int>& log, int id) : log(log), id(id) {}
    void reload_skin(Properties& p) override {
        log.push_back(id);
        if (remove_other) p.remove_skin_listener(remove_other);
    }
    std::vector<int>& log;
    int id;
    SkinListener* remove_other = nullptr;
};

TEST_F(PropertiesTest, SkinListenersAreToldInOrderAndSurviveLoads) {
    Properties p;
    std::vector<int> log;
    RecordingListener a(log, 1), b(log, 2), c(log, 3);
    p.add_skin_listener(&a);
    p.add_skin_listener(&b);
    p.add_skin_listener(&c);
    p.add_skin_listener(&a);  // once only
    ASSERT_TRUE(p.load_skin(path, screen(96)));
    p.send_reload_skin();
    EXPECT_EQ(log, (std::vector<int>{1, 2, 3}));
    a.remove_other = &c;  // removed during the walk, before its turn
    log.clear();
    p.send_reload_skin();
    EXPECT_EQ(log, (std::vector<int>{1, 2}));
}

TEST_F(PropertiesTest, LanguageTextsThroughProperties) {
    test::write_file(dir.file("de.lng"), "Cancel=Abbrechen\n");
    Properties p;
    EXPECT_EQ(text_for(p, u"Cancel"), u"Cancel");
    ASSERT_TRUE(load_language(p, dir.u16() + u"/de.lng"));
    EXPECT_EQ(p.language_path(), dir.u16() + u"/de.lng");
    ASSERT_TRUE(p.load_skin(path, screen(96)));
    EXPECT_EQ(text_for(p, p.get_string(p.find_node(u"Screen"), u"text")), u"Abbrechen");
    EXPECT_FALSE(p.load_language(dir.u16() + u"/none.lng"));
    EXPECT_EQ(p.text_for(u"Cancel"), u"Abbrechen");
}

TEST(FontDescription, ParsesOverTheDefaults) {
    FontDescription d;
    parse_font_description(u"14 1 0 0 Arial Narrow", d);
    EXPECT_EQ(d.size, 14);
    EXPECT_TRUE(d.bold);
    EXPECT_FALSE(d.italic);
    EXPECT_FALSE(d.underline);
    EXPECT_EQ(d.face, u"Arial Narrow");
    EXPECT_EQ(font_height(d), -18);

    FontDescription partial;
    parse_font_description(u"  +9\t-1", partial);
    EXPECT_EQ(partial.size, 9);
    EXPECT_TRUE(partial.bold);
    EXPECT_EQ(partial.face, u"Tahoma");

    FontDescription bad;
    parse_font_description(u"x 1 1 1 Face", bad);
    EXPECT_EQ(bad, FontDescription{});
    FontDescription glued;
    parse_font_description(u"10 0 1 1Face", glued);  // the face needs white space before it
    EXPECT_TRUE(glued.underline);
    EXPECT_EQ(glued.face, u"Tahoma");

    FontDescription huge;
    parse_font_description(u"99999999999 0 0 0 F", huge);
    huge.scale = 2;
    EXPECT_EQ(font_height(huge), std::numeric_limits<int>::min());
}

// A picture that says it is huge but holds one pixel, so a test can ask for many.
class ClaimedPicture final : public Picture {
public:
    explicit ClaimedPicture(Size claimed)
        : Picture(test::filled_bitmap(1, 1, 0), u"claimed"), m_claimed(claimed) {}
    Size size() const override { return m_claimed; }

private:
    Size m_claimed;
};

// Skin bytes listing one picture per unit of `names`, the picture named by that unit
// repeated four times.
std::vector<uint8_t> skin_with_pictures(const std::u16string& names) {
    std::string source;
    for (size_t i = 0; i < names.size(); ++i) {
        char name[8];
        std::snprintf(name, sizeof name, "p%03zu", i);
        source += std::string("picture ") + name + "\n";
    }
    source += "node Screen { string type node }\n";
    std::vector<uint8_t> bytes = test::compile_source(source);
    // The pool starts with the picture names, each four units and its 0.
    size_t at = static_cast<size_t>(skin_format::load_i32(&bytes[skin_format::kPoolOffsetField]));
    for (const char16_t name : names) {
        for (int i = 0; i < 4; ++i)
            skin_format::store_u16(&bytes[at + 2 * i], name);
        at += 10;
    }
    return bytes;
}

TEST(SkinPictures, APictureNamedManyTimesIsLoadedOnce) {
    int loads = 0;
    SkinResources resources = test::box_resources();
    const auto box = resources.load_picture;
    resources.load_picture = [&](const std::u16string& path) {
        ++loads;
        return box(path);
    };
    const std::u16string names(200, u'a');
    PropertiesImpl skin(skin_with_pictures(names + u"b"), u"skins/x.skin", ScreenInfo{},
                        resources);
    ASSERT_TRUE(skin.loaded()) << skin.error();
    EXPECT_EQ(loads, 2);
    ASSERT_EQ(skin.pictures().size(), 201u);
    EXPECT_EQ(skin.pictures()[0].picture.get(), skin.pictures()[199].picture.get());
    EXPECT_NE(skin.pictures()[0].picture.get(), skin.pictures()[200].picture.get());
}

TEST(SkinPictures, PicturesTogetherLargerThanASkinMayHoldFailTheLoad) {
    SkinResources resources = test::box_resources();
    resources.load_picture = [](const std::u16string&) {
        return PictureHandle(std::make_shared<ClaimedPicture>(Size{5000, 5000}));
    };
    PropertiesImpl two(skin_with_pictures(u"ab"), u"x.skin", ScreenInfo{}, resources);
    EXPECT_TRUE(two.loaded()) << two.error();  // 50 M pixels
    PropertiesImpl three(skin_with_pictures(u"abc"), u"x.skin", ScreenInfo{}, resources);
    EXPECT_FALSE(three.loaded());
    EXPECT_NE(three.error().find("larger than a skin may hold"), std::string::npos);
}

}  // namespace
}  // namespace vistrel
