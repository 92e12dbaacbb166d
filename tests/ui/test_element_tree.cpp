#include <gtest/gtest.h>

#include "render/render_surface.h"
#include "skin/skin_errors.h"
#include "ui/basic_kinds.h"
#include "ui/button.h"
#include "ui/preview.h"
#include "ui/visibility_animation.h"
#include "ui_test_support.h"

namespace vistrel {
namespace {

using test::UiTest;

const char* const kTree = R"(
node Screen {
    string type node
    node { string type node string id a
        node { string type node string id b
            node { string type node string id c }
            node { string type node string id x }
        }
        node { string type node string id d }
    }
    node { string type node string id x string anchor_x MIN_SIDE point design_size 7 0 }
}
)";

TEST_F(UiTest, FindChildPrefersADirectChildAndDumpIndentsByDepth) {
    build(kTree, u"Screen", {20, 10});
    // The deeper "x" comes first depth first, but the direct child wins.
    EXPECT_EQ(root.find_child(u"x")->width(), 7);
    EXPECT_EQ(get(u"a").find_child(u"x"), get(u"b").find_child(u"x"));
    EXPECT_EQ(root.find_child(u"nothing"), nullptr);

    EXPECT_EQ(get(u"b").dump_line(2),
              u"\t\t{b} position=0 0 size=20 10 design_size=0 0 rs.size=0 0");
    get(u"b").set_visible(false);
    get(u"a").set_enabled(false);
    std::u16string dump;
    root.dump_to(dump);
    const std::u16string tail = u" position=0 0 size=20 10 design_size=0 0 rs.size=0 0 kind=node";
    EXPECT_EQ(dump, u"{}" + tail +
                        u" visible=1 enabled=1\n"
                        u"\t{a}" +
                        tail +
                        u" visible=1 enabled=0\n"
                        u"\t\t{b}" +
                        tail +
                        u" visible=0 enabled=0\n"
                        u"\t\t\t{c}" +
                        tail +
                        u" visible=0 enabled=0\n"
                        u"\t\t\t{x}" +
                        tail +
                        u" visible=0 enabled=0\n"
                        u"\t\t{d}" +
                        tail +
                        u" visible=1 enabled=0\n"
                        u"\t{x} position=0 0 size=7 10 design_size=7 0 rs.size=0 0 kind=node"
                        u" visible=1 enabled=1\n");
    // Texts are quoted on their line.
    auto* label = new Button(&root);
    label->set_text(u"Say \"hi\"\nnow");
    dump.clear();
    label->dump_to(dump);
    EXPECT_NE(dump.find(u" text=\"Say \\\"hi\\\"\\nnow\"\n"), std::u16string::npos);
}

TEST_F(UiTest, HidingAndDisablingReachEveryDescendantWithoutTouchingTheirFlags) {
    build(kTree, u"Screen", {20, 10});
    Element& a = get(u"a");
    Element& b = get(u"b");
    Element& c = get(u"c");
    c.set_visible(false);
    a.set_visible(false);
    EXPECT_FALSE(b.effectively_visible());
    EXPECT_TRUE(b.visible());
    EXPECT_FALSE(c.visible());
    a.set_visible(true);
    EXPECT_TRUE(b.effectively_visible());
    EXPECT_FALSE(c.effectively_visible());

    a.set_enabled(false);
    EXPECT_FALSE(c.effectively_enabled());
    EXPECT_TRUE(c.enabled());
    // An element made under a disabled parent starts disabled with it.
    Element* late = new Element(&b);
    EXPECT_FALSE(late->effectively_enabled());
    a.set_enabled(true);
    EXPECT_TRUE(c.effectively_enabled());
    EXPECT_TRUE(late->effectively_enabled());
}

TEST_F(UiTest, TreesAreOwnedAndRebuiltFromTheSkin) {
    build(kTree, u"Screen", {20, 10});
    const int live = Element::live_count();
    EXPECT_FALSE(load_from_skin(root, properties, u"Missing"));
    EXPECT_NE(root.find_child(u"a"), nullptr);
    EXPECT_EQ(Element::live_count(), live);
    ASSERT_TRUE(load_from_skin(root, properties, u"Screen"));
    EXPECT_EQ(Element::live_count(), live);
    EXPECT_TRUE(root.layout_pending());

    // Destroying an element takes it out of its parent with its whole subtree.
    delete &get(u"b");
    EXPECT_EQ(Element::live_count(), live - 3);
    EXPECT_EQ(root.find_child(u"c"), nullptr);
    // A removed child belongs to the caller and outlives its old parent.
    Element& a = get(u"a");
    std::unique_ptr<Element> d(&get(u"d"));
    a.remove_child(d.get());
    EXPECT_EQ(d->parent(), nullptr);
    ASSERT_TRUE(load_from_skin(root, properties, u"Screen"));
    EXPECT_EQ(Element::live_count(), live + 1);
}

TEST_F(UiTest, AddingAnElementOwnedElsewhereMovesIt) {
    build(kTree, u"Screen");
    Element& a = get(u"a");
    Element& d = get(u"d");
    Element& x = *root.children().back();
    x.add_child(&d);
    EXPECT_EQ(d.parent(), &x);
    EXPECT_EQ(a.find_child(u"d"), nullptr);
    EXPECT_EQ(x.find_child(u"d"), &d);
    const int live = Element::live_count();
    root.destroy_children();
    EXPECT_EQ(Element::live_count(), live - 6);
}

TEST_F(UiTest, ASubtreeBuiltApartTakesOnItsNewParentsRootAndState) {
    build(R"(node Screen { string type node node { string type node string id holder } }
node Part { string type node node { string type button string id b string bind_key Enter
    node { string type node string id "#normal" } } })",
          u"Screen");
    std::unique_ptr<Element> part = create_element_tree(properties, properties.find_node(u"Part"));
    auto* button = dynamic_cast<Button*>(part->find_child(u"b"));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->root(), nullptr);
    Element& holder = get(u"holder");
    holder.set_visible(false);
    holder.set_enabled(false);
    holder.add_child(part.release());
    EXPECT_EQ(button->root(), &root);
    EXPECT_FALSE(button->effectively_visible());
    EXPECT_FALSE(button->effectively_enabled());
    EXPECT_EQ(button->shown_state()->id(), u"#normal");
    holder.set_visible(true);
    holder.set_enabled(true);
    EXPECT_TRUE(root.on_key({key::Enter, true, true}));
    EXPECT_TRUE(button->pressed());
    // Taken out again, it no longer takes input from the screen.
    Element* taken = button->parent();
    holder.remove_child(taken);
    std::unique_ptr<Element> owned(taken);
    EXPECT_EQ(button->root(), nullptr);
    EXPECT_FALSE(root.on_key({key::Enter, false, true}));
}

TEST_F(UiTest, UnknownKindsAreReportedWithTheirName) {
    test::use_source(properties, R"(
node Bad { string type node
    node { string type node string id made }
    node { string type nonsense }
}
node Untyped { string type node node { string id plain } }
)");
    try {
        load_from_skin(root, properties, u"Bad");
        FAIL() << "no error";
    } catch (const dovado::NodeNotRegistered& e) {
        EXPECT_EQ(e.type(), u"nonsense");
    }
    // Children made before the bad one stay.
    EXPECT_NE(root.find_child(u"made"), nullptr);
    try {
        load_from_skin(root, properties, u"Untyped");
        FAIL() << "no error";
    } catch (const dovado::NodeNotRegistered& e) {
        EXPECT_EQ(e.type(), u"");
    }
}

TEST_F(UiTest, ColourClipAndCachedBlendedDrawing) {
    build(R"(
node Screen {
    string type node
    color outside_color #000000
    node { string type color
        color color #FF0000 }
    node { string type node string id cached int cache 1 int cache_alpha 128
        string anchor_x MIN_SIDE point design_size 4 4 string anchor_y MIN_SIDE
        node { string type color
        color color #008000 string anchor_x MIN_SIDE point design_size 2 4 }
    }
    node { string type clip string anchor_x MAX_SIDE point design_size 3 0
        node { string type color
        color color #0000FF string anchor_x MIN_SIDE_NO_SIZE
               point design_size 9 0 point border_min -3 0 }
    }
}
)",
          u"Screen", {10, 6});
    RenderSurface out = render_preview(root);
    const Bitmap& b = *out.bitmap();
    EXPECT_FALSE(root.dirty());
    // The cache holds green on its left half and the key on its right: the key lets the
    // red through, the green is blended half with the red.
    EXPECT_EQ(b.row(0)[0], static_cast<Pixel>(to_pixel(0, 128, 0) + half(to_pixel(255, 0, 0))));
    EXPECT_EQ(b.row(0)[3], to_pixel(255, 0, 0));
    EXPECT_EQ(get(u"cached").cache_surface().size(), (Size{4, 4}));
    // The blue child starts at column 4 and is 9 wide, but is clipped to the last 3.
    EXPECT_EQ(b.row(5)[6], to_pixel(255, 0, 0));
    EXPECT_EQ(b.row(5)[7], to_pixel(0, 0, 255));
    // Hiding frees the cache.
    get(u"cached").set_visible(false);
    EXPECT_EQ(get(u"cached").cache_surface().size(), (Size{0, 0}));
}

TEST_F(UiTest, VisibilityAnimationsRunForTheirTimeAndReverse) {
    build(R"(
node Screen { string type node
    node { string type color
        string id slow string visibility_animation right }
    node { string type color
        string id fast string visibility_animation pop }
}
)",
          u"Screen", {20, 20});
    Element& slow = get(u"slow");
    slow.show_animated(false);
    EXPECT_FALSE(slow.visible());
    int ticks = 0;
    while (slow.animation_running() && ticks < 100) {
        root.animate(0.1);
        ++ticks;
    }
    EXPECT_EQ(ticks, 16);

    Element& fast = get(u"fast");
    fast.show_animated(false);
    root.animate(0.1);
    const double progress = fast.animation()->progress();
    EXPECT_NEAR(progress, 0.75, 1e-9);
    // Showing again while it hides turns it round from where it is.
    fast.show_animated(true);
    EXPECT_TRUE(fast.visible());
    EXPECT_EQ(fast.animation()->direction(), 1);
    EXPECT_NEAR(fast.animation()->progress(), progress, 1e-9);
    ticks = 0;
    while (fast.animation_running() && ticks < 100) {
        root.animate(0.1);
        ++ticks;
    }
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(VisibilityAnimation::pop_factor(0), 0);
    EXPECT_EQ(VisibilityAnimation::pop_factor(1), 1);
    EXPECT_GT(VisibilityAnimation::pop_factor(0.5), 1);
}

TEST(VisibilityAnimation, SlidesTheImageInFromTheSide) {
    VisibilityAnimation slide(AnimationKind::Right);
    RenderSurface image({10, 1});
    image.fill_pixel({0, 0}, {10, 1}, 0x1111);
    RenderSurface old({10, 1});
    old.fill_pixel({0, 0}, {10, 1}, 0x2222);
    slide.start(1, *image.bitmap(), old.bitmap());
    slide.animate(0.1 * 4);  // progress 0.25: shifted by 7
    RenderSurface out({10, 1});
    slide.draw(out, {0, 0});
    EXPECT_EQ(out.bitmap()->row(0)[6], 0x2222);
    EXPECT_EQ(out.bitmap()->row(0)[7], 0x1111);
    slide.animate(10);
    EXPECT_EQ(slide.direction(), 0);
    EXPECT_EQ(VisibilityAnimation::from_name(u"wobble"), nullptr);
}

}  // namespace
}  // namespace vistrel
