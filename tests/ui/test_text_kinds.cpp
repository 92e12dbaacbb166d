#include <gtest/gtest.h>

#include "skin/skin_errors.h"
#include "ui/edit_field.h"
#include "ui/image_element.h"
#include "ui/label_edit.h"
#include "ui/old_text.h"
#include "ui/progress.h"
#include "ui/text_element.h"
#include "ui_test_support.h"

namespace vistrel {
namespace {

using test::press_at;
using test::UiTest;

const char* const kTexts = R"(
picture pic
node Screen { string type node node { string type vtable
    node { string type text string id block string text "Missing.Key" font font "9 0 0 0 Box"
           string halign LEFT }
    node { string type oldtext string id fixed string text Label font font "9 0 0 0 Box"
           string anchor_x MIN_SIDE point design_size 30 10 }
    node { string type oldtext string id growing string text Label font font "9 0 0 0 Box"
           int grow 1 string anchor_x MIN_SIDE string halign JUSTIFY }
    node { string type text string id wrapped string text "aaaa bbbb cccc dddd" int wrap 1
           int grow 1 font font "9 0 0 0 Box" }
    node { string type image string id picture int grow 1
           picture src pic 0 0 0 0 40 30 40 30 string anchor_x MIN_SIDE }
} }
)";

TEST_F(UiTest, TextKindsShowTheirKeysAndMeasureThemselves) {
    build(kTexts, u"Screen", {100, 200});
    auto& block = get<TextElement>(u"block");
    // A key missing from the language table is shown as it is.
    EXPECT_EQ(block.text(), u"Missing.Key");
    EXPECT_EQ(block.line_text(0), u"Missing.Key");

    auto& growing = get<OldTextElement>(u"growing");
    EXPECT_EQ(growing.width(), 30);             // five characters of 6
    EXPECT_EQ(growing.draw_flags() & 0x3, 0u);  // JUSTIFY draws left-aligned

    // The same text again changes nothing; a new one re-measures only a growing label.
    root.draw(*std::make_unique<RenderSurface>(Size{100, 200}), {0, 0});
    growing.set_text(u"Label");
    EXPECT_FALSE(root.dirty());
    auto& fixed = get<OldTextElement>(u"fixed");
    fixed.set_text(u"Other");
    EXPECT_TRUE(root.dirty());
    EXPECT_FALSE(root.layout_pending());
    growing.set_text(u"Longer label");
    EXPECT_TRUE(root.layout_pending());
    frame({100, 200});
    EXPECT_EQ(growing.width(), 72);

    // Wrapped without grow_min: at most 20 pixels of minimum height.
    auto& wrapped = get<TextElement>(u"wrapped");
    EXPECT_EQ(wrapped.text_height(), 20);
    frame({25, 200});
    EXPECT_EQ(wrapped.line_count(), 4);
    EXPECT_EQ(wrapped.extent_y().preferred, 40);
    EXPECT_EQ(wrapped.extent_y().minimum, 20);

    // An image grows to its picture's natural size.
    EXPECT_EQ(get(u"picture").extent_x(), (Extent{40, 40}));
    EXPECT_EQ(get(u"picture").extent_y(), (Extent{30, 30}));
}

TEST_F(UiTest, WordsWiderThanALineAreCutAndLineFeedsKept) {
    build(R"(node Screen { string type node
        node { string type text string id t int wrap 1 font font "9 0 0 0 Box"
               string text "abcdefghij\n\nxy" } })",
          u"Screen", {25, 100});
    auto& t = get<TextElement>(u"t");
    ASSERT_EQ(t.line_count(), 5);
    EXPECT_EQ(t.line_text(0), u"abcd");
    EXPECT_EQ(t.line_text(1), u"efgh");
    EXPECT_EQ(t.line_text(2), u"ij");
    EXPECT_EQ(t.line_text(3), u"");
    EXPECT_EQ(t.line_text(4), u"xy");
    // Too narrow for one character: nothing is laid out, and nothing hangs.
    frame({3, 100});
    EXPECT_EQ(t.line_count(), 0);
}

TEST_F(UiTest, WrappedTextNarrowsInATableAndKeepsTextAfterLeadingSpaces) {
    build(R"(node Screen { string type node node { string type htable
        node { string type text string id t int wrap 1 int grow_min 1 string halign LEFT
               font font "9 0 0 0 Box" string text "aaa bbb ccc ddd" }
        node { string type node string id other point design_size 50 0 } } })",
          u"Screen", {100, 100});
    // The text gives way down to its widest word; the other child keeps its length.
    EXPECT_EQ(get(u"other").width(), 50);
    auto& t = get<TextElement>(u"t");
    EXPECT_EQ(t.width(), 50);
    EXPECT_EQ(t.line_text(0), u"aaa bbb");
    EXPECT_EQ(t.extent_x().minimum, 18);

    // Spaces wider than the line at its start do not end the layout.
    t.set_text(u"ab\n        cd ef");
    frame({62, 100});
    ASSERT_EQ(t.width(), 12);
    ASSERT_EQ(t.line_count(), 3);
    EXPECT_EQ(t.line_text(1), u"cd");
    EXPECT_EQ(t.line_text(2), u"ef");
}

const char* const kEdit = R"(
node Screen { string type node
    node { string type label_edit string id pair
        node { string type edit string id "#edit" font font "9 0 0 0 Box" string halign LEFT }
        node { string type oldtext string id "#text" string text Search }
    }
}
node Broken { string type node node { string type label_edit string id pair
    node { string type edit string id "#edit" } } }
)";

TEST_F(UiTest, AnEditFieldTakesTheFocusByPressAndBlinksItsCaret) {
    build(kEdit, u"Screen", {60, 20});
    auto& pair = get<LabelEdit>(u"pair");
    EditField& edit = *pair.edit();
    EXPECT_TRUE(pair.label()->visible());
    // Unfocused: keys are not taken, the caret does not change.
    EXPECT_FALSE(root.on_key({key::Left, true, true}));
    EXPECT_FALSE(root.on_text(u"x"));
    root.animate(0.3);
    root.animate(0.3);
    EXPECT_FALSE(edit.caret_phase());

    root.on_pointer_button(press_at(5, 5));
    root.on_pointer_button(test::release_at(5, 5));
    EXPECT_TRUE(edit.has_focus());
    EXPECT_EQ(edit.caret_width(), 2);  // a quarter of a 6-pixel space, rounded
    std::vector<bool> phases;
    for (int i = 0; i < 5; ++i) {
        root.animate(0.25);
        phases.push_back(edit.caret_phase());
    }
    EXPECT_EQ(phases, (std::vector<bool>{false, true, true, false, false}));

    // "Backspace" in an empty field is not handled.
    EXPECT_FALSE(root.on_key({key::Backspace, true, true}));
    EXPECT_TRUE(root.on_text(u"abc"));
    EXPECT_EQ(edit.text(), u"abc");
    EXPECT_FALSE(pair.label()->visible());
    EXPECT_TRUE(root.on_key({key::Left, true, true}));
    EXPECT_TRUE(root.on_key({key::Backspace, true, true}));
    EXPECT_EQ(edit.text(), u"ac");
    EXPECT_EQ(edit.caret(), 1u);
    EXPECT_FALSE(root.on_key({key::Up, true, true}));     // single line
    EXPECT_FALSE(root.on_key({key::Left, false, true}));  // key up
    edit.set_text(u"");
    EXPECT_TRUE(pair.label()->visible());

    // Hiding the field drops the focus.
    pair.set_visible(false);
    EXPECT_FALSE(edit.has_focus());

    try {
        load_from_skin(root, properties, u"Broken");
        FAIL() << "no error";
    } catch (const dovado::NodeNotFound& e) {
        EXPECT_EQ(e.searched_in(), u"pair");
        EXPECT_EQ(e.searched_for(), u"#text");
    }
}

TEST_F(UiTest, AProgressBarSizesItsLineToTheFraction) {
    build(R"(node Screen { string type node
        node { string type progress string id bar
            node { string type color
        string id "#line" string anchor_x MIN_SIDE }
        }
        node { string type progress string id framed
            node { string type color
        string id "#line" string anchor_x MIN_SIDE
                   point border_min 2 0 point border_max 3 0 }
        } })",
          u"Screen", {101, 10});
    auto& bar = get<ProgressBar>(u"bar");
    bar.set_fraction(0.5);
    frame({101, 10});
    EXPECT_EQ(bar.line()->width(), 50);
    EXPECT_EQ(bar.line()->height(), 10);
    // Beyond 1 the MIN_SIDE anchor keeps it inside the bar.
    bar.set_fraction(3);
    frame({101, 10});
    EXPECT_EQ(bar.line()->width(), 101);
    auto& framed = get<ProgressBar>(u"framed");
    framed.set_fraction(0.5);
    frame({101, 10});
    EXPECT_EQ(framed.line()->x(), 2);
    EXPECT_EQ(framed.line()->width(), 49);  // (101 - 2) / 2: MIN_SIDE keeps only the low border
}

}  // namespace
}  // namespace vistrel
