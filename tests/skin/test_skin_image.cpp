// The load-time checks of skin files: whatever the bytes, a skin either loads and every
// lookup stays inside it, or it fails to load.

#include <gtest/gtest.h>

#include <cstring>

#include "skin/skin_image.h"
#include "skin_test_support.h"

namespace vistrel {
namespace {

using namespace skin_format;

const char* const kSource = R"(
picture frame
picture bar
node Beta {
    int cache 1
    int alpha -1
    int table_ratio 3
    font font "14 1 0 0 DejaVu Sans"
    point border_min 3 -2
    point design_size 10 20
    string id beta
    string text Hello
    string type node
    picture picture bar 0 0 10 10 20 20 30 30 1
    color color #102030
    node {
        string type text
        string text Cancel
        node { string type node }
    }
    node { string type color }
}
node Alpha { string type node }
node Gamma { string type node }
node Delta { }
node Epsilon { int x 1 }
)";

std::vector<uint8_t> sample() {
    return test::compile_source(kSource);
}

bool opens(std::vector<uint8_t> bytes, std::string* why = nullptr) {
    return SkinImage::open(std::move(bytes), why) != nullptr;
}

size_t body_offset(const std::vector<uint8_t>& bytes, std::u16string_view name) {
    const auto image = SkinImage::open(bytes);
    return static_cast<size_t>(image->find_node(name).body() - image->data());
}

std::vector<uint8_t> minimal() {
    std::vector<uint8_t> bytes(kHeaderSize, 0);
    for (int i = 0; i < 4; ++i)
        store_u16(&bytes[2 * i], kMagic[i]);
    store_i32(&bytes[kRootField], -1);
    store_i32(&bytes[kPoolOffsetField], kHeaderSize);
    return bytes;
}

TEST(SkinImage, CompiledSkinReadsBack) {
    const auto image = SkinImage::open(sample());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->picture_count(), 2);
    EXPECT_EQ(image->picture_name(1), u"bar");
    EXPECT_EQ(image->font_count(), 1);
    EXPECT_EQ(image->font_description(0), u"14 1 0 0 DejaVu Sans");
    const auto top = image->top_level_nodes();
    ASSERT_EQ(top.size(), 5u);
    EXPECT_EQ(top[0].first, u"Alpha");
    EXPECT_EQ(top[4].first, u"Gamma");
    for (const auto& [name, node] : top)
        EXPECT_EQ(image->find_node(name), node);
    EXPECT_FALSE(image->find_node(u"Alph"));
    EXPECT_FALSE(image->find_node(u"Alphaa"));
    EXPECT_FALSE(image->find_node(u""));

    const NodeHandle beta = image->find_node(u"Beta");
    EXPECT_EQ(image->entry_count(beta, AttributeKind::Integer), 3);
    EXPECT_EQ(image->entry_count(beta, AttributeKind::String), 3);
    EXPECT_EQ(image->entry_count(beta, AttributeKind::Picture), 1);
    EXPECT_EQ(decode_integer(image->find_entry(beta, AttributeKind::Integer, u"alpha")).value, -1);
    EXPECT_EQ(image->find_entry(beta, AttributeKind::Integer, u"alph"), nullptr);
    EXPECT_EQ(image->find_entry(beta, AttributeKind::Point, u"cache"),
              nullptr);  // tables are per kind
    ASSERT_EQ(image->child_count(beta), 2);
    const NodeHandle text = image->child(beta, 0);
    EXPECT_EQ(image->child_count(text), 1);
    EXPECT_FALSE(image->child(beta, 2));
    EXPECT_FALSE(image->child(beta, -1));
    EXPECT_EQ(image->child_count(NodeHandle()), 0);
}

TEST(SkinImage, SmallestSkinLoadsAndShorterFilesDoNot) {
    std::vector<uint8_t> bytes = minimal();
    const auto image = SkinImage::open(bytes);
    ASSERT_TRUE(image);
    EXPECT_FALSE(image->find_node(u"Anything"));
    EXPECT_TRUE(image->top_level_nodes().empty());

    std::vector<uint8_t> short_file(bytes.begin(), bytes.end() - 1);
    EXPECT_FALSE(opens(short_file));
    bytes[6] ^= 1;  // magic
    EXPECT_FALSE(opens(bytes));
}

TEST(SkinImage, EveryCutFails) {
    const std::vector<uint8_t> bytes = sample();
    ASSERT_TRUE(opens(bytes));
    for (size_t length = 0; length < bytes.size(); ++length) {
        EXPECT_FALSE(opens(std::vector<uint8_t>(bytes.begin(), bytes.begin() + length))) << length;
    }
}

TEST(SkinImage, HeaderOffsetsOutsideTheFileFail) {
    const std::vector<uint8_t> good = sample();
    const int32_t size = static_cast<int32_t>(good.size());
    const struct {
        size_t field;
        int32_t value;
    } cases[] = {
        {kRootField, size},           {kRootField, -2},           {kRootField, size - 20},
        {kPoolOffsetField, size + 2}, {kPoolOffsetField, -4},     {kPictureCountField, -1},
        {kFontCountField, 1 << 30},   {kTextCountField, 1 << 30}, {kPictureCountField, 300}};
    for (const auto& c : cases) {
        std::vector<uint8_t> bytes = good;
        store_i32(&bytes[c.field], c.value);
        std::string why;
        EXPECT_FALSE(opens(bytes, &why)) << c.field << " = " << c.value;
        EXPECT_FALSE(why.empty());
    }
}

TEST(SkinImage, BodiesTablesAndNamesOutsideTheFileFail) {
    const std::vector<uint8_t> good = sample();
    const size_t beta = body_offset(good, u"Beta");
    auto damaged = [&](auto change) {
        std::vector<uint8_t> bytes = good;
        change(bytes);
        std::string why;
        const bool ok = opens(bytes, &why);
        return ok ? std::string("loaded") : why;
    };
    // A child pointing past the end, before the start, at itself and at its parent.
    EXPECT_EQ(damaged([&](auto& b) { store_i32(&b[beta + 16], static_cast<int32_t>(b.size())); }),
              "node body outside the file");
    EXPECT_EQ(damaged([&](auto& b) { store_i32(&b[beta + 16], -16); }),
              "node body outside the file");
    const int32_t first_child = load_i32(&good[beta + 16]);
    EXPECT_EQ(damaged([&](auto& b) { store_i32(&b[first_child + 16], first_child); }),
              "child nodes form a cycle");
    EXPECT_EQ(
        damaged([&](auto& b) { store_i32(&b[first_child + 16], static_cast<int32_t>(beta)); }),
        "child nodes form a cycle");
    // Table bounds: past the end, out of order, not whole entries.
    EXPECT_EQ(damaged([&](auto& b) { store_u16(&b[beta + 12], 0xFFFF); }),
              "table outside the file");
    EXPECT_EQ(damaged([&](auto& b) { store_u16(&b[beta + 2], load_u16(&b[beta + 4]) + 8); }),
              "table bounds out of order");
    EXPECT_EQ(damaged([&](auto& b) { store_u16(&b[beta + 2], load_u16(&b[beta + 2]) - 4); }),
              "table size not a whole number of entries");
    EXPECT_EQ(damaged([&](auto& b) { store_u16(&b[beta + 14], 0x7FFF); }),
              "child list outside the file");
    // An attribute name with no terminator before the end of the file.
    EXPECT_EQ(damaged([&](auto& b) {
                  const uint16_t first_int = load_u16(&b[beta]);
                  b.back() = 'x';
                  store_u16(&b[beta + first_int], static_cast<uint16_t>(b.size() - 2));
              }),
              "attribute name outside the file");
}

TEST(SkinImage, UnsortedTablesAndTreesFail) {
    const std::vector<uint8_t> good = sample();
    const size_t beta = body_offset(good, u"Beta");
    std::vector<uint8_t> bytes = good;
    const size_t ints = beta + load_u16(&bytes[beta]);
    std::swap_ranges(bytes.begin() + ints, bytes.begin() + ints + 8, bytes.begin() + ints + 8);
    std::string why;
    EXPECT_FALSE(opens(bytes, &why));
    EXPECT_EQ(why, "attribute table out of order");

    // Repeated names are out of order too.
    bytes = good;
    store_u16(&bytes[ints + 8], load_u16(&bytes[ints]));
    EXPECT_FALSE(opens(bytes));

    bytes = good;
    const int32_t root = load_i32(&bytes[kRootField]);
    const int32_t left = load_i32(&bytes[root]);
    store_i32(&bytes[root], load_i32(&bytes[root + 4]));
    store_i32(&bytes[root + 4], left);
    EXPECT_FALSE(opens(bytes, &why));
    EXPECT_EQ(why, "top-level nodes out of order");

    bytes = good;
    store_i32(&bytes[root], root);  // a record that is its own left child
    EXPECT_FALSE(opens(bytes, &why));
    EXPECT_EQ(why, "tree record reached twice");
}

TEST(SkinImage, IndexesOutOfRangeFail) {
    const std::vector<uint8_t> good = sample();
    const size_t beta = body_offset(good, u"Beta");
    auto table = [&](AttributeKind kind) {
        return beta + load_u16(&good[beta + 2 * static_cast<int>(kind)]);
    };
    std::vector<uint8_t> bytes = good;
    store_i32(&bytes[table(AttributeKind::Font) + 4], 1);
    EXPECT_FALSE(opens(bytes));
    bytes = good;
    store_u16(&bytes[table(AttributeKind::String) + 2], 1000);
    EXPECT_FALSE(opens(bytes));
    bytes = good;
    bytes[table(AttributeKind::Picture) + 18] = 2;
    EXPECT_FALSE(opens(bytes));
}

// A file of `levels` bodies without tables, each with `fan` children that all point to
// the next body.
std::vector<uint8_t> ladder(int levels, int fan) {
    std::vector<uint8_t> bytes = minimal();
    const size_t name = bytes.size();
    bytes.resize(name + 4, 0);
    bytes[name] = 'N';
    const size_t record = bytes.size();
    bytes.resize(record + kRecordSize, 0);
    store_i32(&bytes[kRootField], static_cast<int32_t>(record));
    store_i32(&bytes[record], -1);
    store_i32(&bytes[record + 4], -1);
    store_i32(&bytes[record + 8], static_cast<int32_t>(name));
    const size_t body_size = kBodyHeaderSize + 4 * static_cast<size_t>(fan);
    for (int i = 0; i < levels; ++i) {
        const size_t body = bytes.size();
        bytes.resize(body + body_size, 0);
        const bool last = i + 1 == levels;
        for (int t = 0; t < 7; ++t)
            store_u16(&bytes[body + 2 * t], static_cast<uint16_t>(body_size));
        store_u16(&bytes[body + 14], last ? 0 : static_cast<uint16_t>(fan));
        for (int c = 0; c < fan && !last; ++c) {
            store_i32(&bytes[body + 16 + 4 * c], static_cast<int32_t>(body + body_size));
        }
    }
    return bytes;
}

TEST(SkinImage, SharedChildrenLoadWithinLimits) {
    EXPECT_TRUE(opens(ladder(10, 2)));  // shared bodies: 2^10 elements when built
    EXPECT_TRUE(opens(ladder(SkinImage::kMaxDepth, 1)));
    std::string why;
    EXPECT_FALSE(opens(ladder(SkinImage::kMaxDepth + 1, 1), &why));
    EXPECT_EQ(why, "nodes nested too deeply");
    EXPECT_FALSE(opens(ladder(30, 2), &why));  // 2^30 elements
    EXPECT_EQ(why, "node tree too large");
}

// A skin shaped as a graph: a few bodies whose children all lead to the next one expand
// to far more elements than any screen has.
TEST(SkinImage, GraphShapedSkinsBeyondTheElementBoundFail) {
    EXPECT_TRUE(opens(ladder(12, 2)));  // 4095 elements
    std::string why;
    EXPECT_FALSE(opens(ladder(13, 2), &why));  // 8191 elements from a file of 500 bytes
    EXPECT_EQ(why, "node tree too large");
    EXPECT_FALSE(opens(ladder(3, 100), &why));
}

// Only 65,536 texts can be named by a string entry: a pool claiming millions keeps those.
TEST(SkinImage, TextsBeyondWhatAnIndexReachesAreNotKept) {
    std::vector<uint8_t> bytes = minimal();
    const int declared = 3'000'000;
    const int reachable = 65536;
    store_i32(&bytes[kTextCountField], declared);
    bytes.resize(bytes.size() + 2 * size_t(reachable + 10), 0);  // empty texts
    const auto image = SkinImage::open(bytes);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->text_count(), reachable);
    EXPECT_EQ(image->text(reachable - 1), u"");
}

TEST(SkinImage, NameOrderIsByUnsignedUnits) {
    const uint8_t abc[] = {'a', 0, 'b', 0, 'c', 0, 0, 0};
    EXPECT_EQ(compare_skin_name(u"abc", abc), 0);
    EXPECT_LT(compare_skin_name(u"ab", abc), 0);  // a prefix sorts first
    EXPECT_GT(compare_skin_name(u"abcd", abc), 0);
    EXPECT_LT(compare_skin_name(u"B", abc), 0);  // no case folding: 'B' < 'a'
    EXPECT_GT(compare_skin_name(u"\u0430", abc), 0);
    const uint8_t high[] = {0x00, 0xE0, 0, 0};  // U+E000 sorts after every ASCII unit
    EXPECT_LT(compare_skin_name(u"z", high), 0);
}

}  // namespace
}  // namespace vistrel
