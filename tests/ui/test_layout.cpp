#include <gtest/gtest.h>

#include "skin/element_registry.h"
#include "ui/table.h"
#include "ui/text_element.h"
#include "ui_test_support.h"

namespace vistrel {
namespace {

using test::UiTest;

struct ModeCase {
    AnchorMode mode;
    int size;
    int offset;
    int outer;
};

// Preferred 10 in a parent of 100 with borders 3 and 5.
TEST(AnchorModes, SizeOffsetAndOuterLengthOfEveryMode) {
    const ModeCase cases[] = {
        {AnchorMode::MinSide, 10, 3, 13},       {AnchorMode::BothSide, 92, 3, 18},
        {AnchorMode::MaxSide, 10, 85, 15},      {AnchorMode::Ratio, 10, 3, 18},
        {AnchorMode::Center, 10, 44, 18},       {AnchorMode::MinSideNoSize, 10, 3, 0},
        {AnchorMode::MaxSideNoSize, 10, 85, 0},
    };
    for (const ModeCase& c : cases) {
        SCOPED_TRACE(anchor_mode_name(c.mode));
        const int size = anchor_size(c.mode, 10, 100, 3, 5);
        EXPECT_EQ(size, c.size);
        EXPECT_EQ(anchor_offset(c.mode, size, 100, 3, 5), c.offset);
        EXPECT_EQ(anchor_outer_length(c.mode, 10, 3, 5), c.outer);
    }
    EXPECT_EQ(anchor_border_total(AnchorMode::MinSideNoSize, 3, 5), 3);
    EXPECT_EQ(anchor_border_total(AnchorMode::Center, 3, 5), 8);
    EXPECT_EQ(anchor_border_total(AnchorMode::MaxSideNoSize, 3, 5), 5);
    // Shrinking to the parent, never below 0.
    EXPECT_EQ(anchor_size(AnchorMode::MinSide, 200, 100, 3, 5), 97);
    EXPECT_EQ(anchor_size(AnchorMode::BothSide, 0, 6, 3, 5), 0);
    EXPECT_EQ(anchor_size(AnchorMode::MinSideNoSize, 200, 100, 3, 5), 200);
    EXPECT_EQ(parse_anchor_mode(u"center"), AnchorMode::BothSide);
    EXPECT_EQ(parse_anchor_mode(u"MAX_SIDE_NO_SIZE"), AnchorMode::MaxSideNoSize);
}

TEST(TableShare, FitsSpreadsSharesRatiosAndShrinks) {
    using V = std::vector<int>;
    const std::vector<Extent> two{{40, 20}, {40, 20}};
    EXPECT_EQ(TableElement::share(two, {0, 0}, 100), (V{40, 40}));
    EXPECT_EQ(TableElement::share(two, {1, 1}, 100), (V{50, 50}));
    EXPECT_EQ(TableElement::share(two, {1, 3}, 100), (V{45, 55}));
    // The extra comes in rounds: what the first child cannot take goes round again.
    EXPECT_EQ(TableElement::share({{30, 10}, {100, 10}, {100, 10}}, {0, 0, 0}, 100),
              (V{30, 34, 36}));
    // Between the minimums and the preferred lengths.
    EXPECT_EQ(TableElement::share(two, {0, 0}, 60), (V{30, 30}));
    // Minimums that do not fit shrink in proportion, summing exactly to the length.
    EXPECT_EQ(TableElement::share({{50, 40}, {50, 20}}, {0, 0}, 30), (V{20, 10}));
    EXPECT_EQ(TableElement::share({{10, 10}, {10, 10}, {10, 10}}, {0, 0, 0}, 10), (V{3, 3, 4}));
    EXPECT_EQ(TableElement::share(two, {1, 1}, 0), (V{0, 0}));
}

const char* const kAnchorSkin = R"(
node Screen {
    string type node
    node { string type node string id center string anchor_x CENTER point design_size 10 4 }
    node { string type node string id max string anchor_x MAX_SIDE point design_size 50 4 }
    node { string type node string id nosize string anchor_x MIN_SIDE_NO_SIZE
           point design_size 80 4 point border_min 2 0 }
    node { string type node string id framed point border_min 3 4 point border_max 5 6 }
}
)";

TEST_F(UiTest, ChildrenArePlacedByTheirAnchorModes) {
    build(kAnchorSkin, u"Screen", {31, 20});
    // 31 / 2 - 10 / 2 = 10.
    EXPECT_EQ(get(u"center").x(), 10);
    EXPECT_EQ(get(u"center").width(), 10);
    // Wider than the parent: the offset stays 0.
    EXPECT_EQ(get(u"max").x(), 0);
    EXPECT_EQ(get(u"max").width(), 31);
    // Keeps its width, and does not count in the parent's measure.
    EXPECT_EQ(get(u"nosize").x(), 2);
    EXPECT_EQ(get(u"nosize").width(), 80);
    EXPECT_EQ(get(u"framed").rect(), (Rect{3, 4, 31 - 5, 20 - 6}));
    EXPECT_EQ(root.extent_x().preferred, 50);
    EXPECT_EQ(root.extent_x().minimum, 50);
}

TEST_F(UiTest, TablesShareTheirLengthAmongVisibleChildren) {
    build(R"(
node Screen { string type node
  node { string type htable string id table
    node { string type node string id a point design_size 20 0
           point border_min 2 0 point border_max 3 0 }
    node { string type node string id b point design_size 30 0 int table_ratio 1 }
    node { string type node string id c string anchor_x CENTER point design_size 10 0
           int table_ratio 1 }
  }
}
)",
          u"Screen", {100, 10});
    // 95 after the borders; 60 preferred; 35 spare for b and c (17 and 18); c fills its
    // slot of 28.
    EXPECT_EQ(get(u"a").x(), 2);
    EXPECT_EQ(get(u"a").width(), 20);
    EXPECT_EQ(get(u"b").x(), 25);
    EXPECT_EQ(get(u"b").width(), 47);
    EXPECT_EQ(get(u"c").x(), 72);
    EXPECT_EQ(get(u"c").width(), 28);
    EXPECT_EQ(get(u"table").extent_x().preferred, 65);

    // A hidden child takes no part; the others share its length.
    get(u"b").set_visible(false);
    frame({100, 10});
    EXPECT_EQ(get(u"c").x(), 25);
    EXPECT_EQ(get(u"c").width(), 75);
    EXPECT_EQ(get(u"table").extent_x().preferred, 35);

    // Too short for the minimums: lengths in proportion to them.
    get(u"b").set_visible(true);
    frame({35, 10});
    EXPECT_EQ(get(u"a").width(), 10);
    EXPECT_EQ(get(u"b").width(), 15);
    EXPECT_EQ(get(u"c").width(), 5);
    EXPECT_EQ(get(u"c").x(), 30);
    // Nothing left after the borders: every child at the start, empty.
    frame({4, 10});
    EXPECT_EQ(get(u"b").x(), 0);
    EXPECT_EQ(get(u"b").width(), 0);
}

// Counts how often it is laid out.
class Counting : public Element {
public:
    explicit Counting(Element* parent) : Element(parent) {}
    void layout_x() override {
        ++layouts;
        Element::layout_x();
    }
    void measure_x(Extent& e) override {
        ++measures;
        Element::measure_x(e);
    }
    int layouts = 0;
    int measures = 0;
};

TEST_F(UiTest, AStillFrameLaysOutNothingAndAChangeOnlyItsPath) {
    KindRegistration counting(u"counting", [](Element* p) { return new Counting(p); });
    build(R"(
node Screen { string type node
  node { string type vtable
    node { string type counting string id first point design_size 0 10 }
    node { string type counting string id second point design_size 0 10 }
  }
}
)",
          u"Screen", {50, 50});
    auto& first = get<Counting>(u"first");
    auto& second = get<Counting>(u"second");
    EXPECT_FALSE(root.layout_pending());
    const int layouts = first.layouts, measures = first.measures;
    frame({50, 50});
    EXPECT_EQ(first.layouts, layouts);
    EXPECT_EQ(first.measures, measures);

    // A change below one child measures that child again, not its sibling.
    second.set_design_size({0, 20});
    EXPECT_TRUE(root.layout_pending());
    frame({50, 50});
    EXPECT_EQ(first.measures, measures);
    EXPECT_GT(second.measures, measures);
    EXPECT_EQ(second.height(), 20);
    EXPECT_FALSE(root.layout_pending());
}

TEST_F(UiTest, ANewWidthReplacesWrappedTextInTheSameFrame) {
    build(R"(
node Screen { string type node
  node { string type vtable
    node { string type text string id t string text "aaaa aaaa" int wrap 1 int grow 1
           font font "10 0 0 0 Box" string halign LEFT }
    node { string type node string id below point design_size 0 5 }
  }
}
)",
          u"Screen", {60, 100});
    auto& text = get<TextElement>(u"t");
    EXPECT_EQ(text.line_count(), 1);
    EXPECT_EQ(text.height(), 10);
    EXPECT_EQ(get(u"below").y(), 10);
    frame({30, 100});
    EXPECT_EQ(text.line_count(), 2);
    EXPECT_EQ(text.height(), 20);
    EXPECT_EQ(get(u"below").y(), 20);
}

TEST_F(UiTest, PointsAreDoubledOnAHighDensityScreen) {
    test::use_source(properties, R"(node Screen { string type node
        node { string type node string id n string anchor_x MIN_SIDE point design_size 7 3
               point border_min 2 1 } })",
                     192);
    load_from_skin(root, properties, u"Screen");
    frame({100, 100});
    EXPECT_EQ(get(u"n").x(), 4);
    EXPECT_EQ(get(u"n").width(), 14);
}

}  // namespace
}  // namespace vistrel
