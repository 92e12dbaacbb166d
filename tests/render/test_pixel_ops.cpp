// The combining rules of the pixel operations, their four span forms, the level selection
// and the fill and dim spans.

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "render/pixel_op.h"
#include "render/span_op.h"

namespace vistrel {
namespace {

// One destination pixel combined with one source pixel through copy_span.
Pixel combine(const PixelOp& op, Pixel dst, Pixel src) {
    Pixel d = dst;
    op.copy_span(&d, &d + 1, &src);
    return d;
}

constexpr Pixel kWhite = 0xFFFF;
constexpr Pixel kGrey = 0x8410;  // unflagged: green 32
constexpr Pixel kFlagged = 0x1234 | kOpaqueFlag;

TEST(PixelOp, CopyAndKeyedCopy) {
    EXPECT_EQ(combine(CopyOp(), kWhite, kColourKey), kColourKey);
    EXPECT_EQ(combine(KeyedCopyOp(), kWhite, kColourKey), kWhite);
    EXPECT_EQ(combine(KeyedCopyOp(), kWhite, 0x0001), 0x0001);
    EXPECT_EQ(combine(KeyedCopyOp(), kWhite, 0xF81E), 0xF81E);  // next to the key is no key
}

TEST(PixelOp, BlendsAddTheirShareOfTheDestinationToUnflaggedPixels) {
    EXPECT_EQ(combine(Blend50Op(), kWhite, 0x0000), 0x7BEF);
    EXPECT_EQ(combine(Blend75Op(), kWhite, 0x0000), 0x39E7);
    EXPECT_EQ(combine(Blend25Op(), kWhite, 0x0000), 0xB5D6);
    EXPECT_EQ(combine(Blend50Op(), kGrey, 0x0801), 0x0801 + 0x4208);
    // Sums wrap at 16 bits: the source carries colour already weighted by the author.
    EXPECT_EQ(combine(Blend50Op(), kWhite, 0x9000), Pixel(0x9000 + 0x7BEF));
    for (const PixelOp* op : std::array<const PixelOp*, 3>{&level_instance(1), &level_instance(2),
                                                           &level_instance(3)}) {
        EXPECT_EQ(combine(*op, kGrey, kColourKey), kGrey);
        EXPECT_EQ(combine(*op, kGrey, kFlagged), kFlagged);
    }
}

TEST(PixelOp, FlagOnlyDrawsFlaggedPixelsAlone) {
    FlagOnlyOp op;
    EXPECT_EQ(combine(op, kGrey, kFlagged), kFlagged);
    EXPECT_EQ(combine(op, kGrey, 0x1234 & ~kOpaqueFlag), kGrey);
    EXPECT_EQ(combine(op, kGrey, kColourKey), kGrey);
}

TEST(PixelOp, MaskComposeCutsKeysKeepsFlaggedAndAddsChosenShares) {
    MaskComposeOp plain(0);
    EXPECT_EQ(combine(plain, kGrey, kColourKey), kColourKey);
    EXPECT_EQ(combine(plain, 0x1000, kFlagged), 0x1020);
    EXPECT_EQ(combine(plain, kGrey, 0x0801), 0x0801);
    EXPECT_EQ(combine(MaskComposeOp(0x100), kGrey, 0x0801), 0x8C11);
    EXPECT_EQ(combine(MaskComposeOp(0x80), kGrey, 0x0801), 0x4A09);
    EXPECT_EQ(combine(MaskComposeOp(0x40), kGrey, 0x0801), 0x2905);
    EXPECT_EQ(combine(MaskComposeOp(0x1C0), kWhite, 0x0000), Pixel(0xFFFF + 0x7BEF + 0x39E7));
    auto copy = MaskComposeOp(0x80).clone();
    EXPECT_EQ(combine(*copy, kGrey, 0x0801), 0x4A09);
}

TEST(PixelOp, LevelOpSelectsBySixtyFours) {
    struct Case {
        int alpha;
        int level;
    };
    for (const Case& c : {Case{-5, 0}, Case{0, 0}, Case{63, 0}, Case{64, 1}, Case{127, 1},
                          Case{128, 2}, Case{191, 2}, Case{192, 3}, Case{255, 3}, Case{256, 4},
                          Case{1000, 4}, Case{INT32_MIN, 0}, Case{INT32_MAX, 4}}) {
        const LevelOp op = level_op(c.alpha);
        EXPECT_EQ(op.target(), &level_instance(c.level)) << c.alpha;
    }
    EXPECT_NE(dynamic_cast<const KeyedCopyOp*>(level_op(63).target()), nullptr);
    EXPECT_NE(dynamic_cast<const Blend75Op*>(level_op(64).target()), nullptr);
    EXPECT_NE(dynamic_cast<const FlagOnlyOp*>(level_op(1000).target()), nullptr);

    const auto clone = level_op(130).clone();
    const auto* forwarding = dynamic_cast<const LevelOp*>(clone.get());
    ASSERT_NE(forwarding, nullptr);
    EXPECT_EQ(forwarding->target(), &level_instance(2));
    EXPECT_EQ(combine(*clone, kWhite, 0x0000), 0x7BEF);

    EXPECT_NE(dynamic_cast<CopyOp*>(op_for_alpha(-1).get()), nullptr);
    EXPECT_EQ(combine(*op_for_alpha(0), kGrey, kColourKey), kGrey);
}

// The source index each destination pixel took, read back through CopyOp from a source
// whose pixel i has the value i.
template <typename Draw>
std::vector<int> indices(int count, Draw draw) {
    std::vector<Pixel> src(64);
    for (int i = 0; i < 64; ++i)
        src[i] = Pixel(i);
    std::vector<Pixel> dst(count + 1, 0xFFFF);
    draw(dst.data(), src.data());
    EXPECT_EQ(dst[count], 0xFFFF) << "wrote past the span";
    return std::vector<int>(dst.begin(), dst.begin() + count);
}

TEST(PixelOp, SpanFormsWalkTheSourceAsDescribed) {
    const CopyOp copy;
    const Blend50Op blend;  // over black it draws its source unchanged
    EXPECT_EQ(
        indices(7, [&](Pixel* d, const Pixel* s) { copy.copy_span_scaled(d, d + 7, s, 0, 438); }),
        (std::vector<int>{0, 0, 0, 1, 1, 2, 2}));
    EXPECT_EQ(indices(5, [&](Pixel* d, const Pixel* s) { copy.copy_span_shifted(d, s, 3, 5, 1); }),
              (std::vector<int>{1, 2, 2, 3, 3}));
    EXPECT_EQ(
        indices(4, [&](Pixel* d, const Pixel* s) { copy.copy_span_shifted(d, s, 40, 4, 0x105); }),
        (std::vector<int>{1, 1, 1, 1}));  // low 8 bits: shift 5
    EXPECT_EQ(indices(3, [&](Pixel* d, const Pixel* s) { copy.copy_span_shifted(d, s, 9, 3, 40); }),
              (std::vector<int>{0, 0, 0}));  // from 32 up: 31
    EXPECT_EQ(indices(0, [&](Pixel* d, const Pixel* s) { copy.copy_span_shifted(d, s, 9, 0, 0); }),
              (std::vector<int>{}));
    EXPECT_EQ(
        indices(8, [&](Pixel* d, const Pixel* s) { copy.copy_span_wrapped(d, s, 4, 8, 0, 2, 6); }),
        (std::vector<int>{4, 5, 2, 3, 4, 5, 2, 3}));
    EXPECT_EQ(
        indices(8, [&](Pixel* d, const Pixel* s) { copy.copy_span_wrapped(d, s, 4, 8, 1, 2, 6); }),
        (std::vector<int>{2, 2, 1, 1, 2, 2, 1, 1}));
    // A start beyond the wrap point never wraps.
    EXPECT_EQ(
        indices(3, [&](Pixel* d, const Pixel* s) { copy.copy_span_wrapped(d, s, 7, 3, 0, 2, 6); }),
        (std::vector<int>{7, 8, 9}));
    // The generic rule walks the same positions as the copy.
    EXPECT_EQ(indices(8,
                      [&](Pixel* d, const Pixel* s) {
                          std::fill(d, d + 8, 0);
                          blend.copy_span_wrapped(d, s, 4, 8, 0, 2, 6);
                      }),
              (std::vector<int>{4, 5, 2, 3, 4, 5, 2, 3}));
    EXPECT_EQ(indices(6,
                      [&](Pixel* d, const Pixel* s) {
                          std::fill(d, d + 6, 0);
                          blend.copy_span_scaled(d, d + 6, s, 1024, 512 + 256);
                      }),
              (std::vector<int>{1, 1, 2, 3, 4, 4}));
}

TEST(DimSpan, LevelComesFromAlphaInSixteenths) {
    EXPECT_EQ(DimSpan(7).level(), 0);
    EXPECT_EQ(DimSpan(8).level(), 1);
    EXPECT_EQ(DimSpan(128).level(), 8);
    EXPECT_EQ(DimSpan(250).level(), 16);
    EXPECT_EQ(DimSpan(256).level(), 16);
    EXPECT_EQ(DimSpan(-100).level(), 0);
    EXPECT_EQ(DimSpan(5000).level(), 16);
    EXPECT_EQ(DimSpan(INT32_MAX).level(), 16);
}

TEST(DimSpan, SeventeenLevelsGiveExactValues) {
    const std::array<Pixel, 17> white = {0x0000, 0x0861, 0x18E3, 0x3186, 0x39E7, 0x4AA9,
                                         0x630C, 0x738E, 0x7BEF, 0x8CB1, 0x9D33, 0xA594,
                                         0xC618, 0xCE79, 0xE71C, 0xF79E, 0xFFFF};
    const std::array<Pixel, 17> grey = {0x0000, 0x0841, 0x1082, 0x18C3, 0x2104, 0x31A6,
                                        0x3186, 0x39C7, 0x4208, 0x52AA, 0x5AEB, 0x632C,
                                        0x630C, 0x6B4D, 0x738E, 0x7BCF, 0x8410};
    for (int k = 0; k <= 16; ++k) {
        EXPECT_EQ(DimSpan::dim(0xFFFF, k), white[k]) << k;
        EXPECT_EQ(DimSpan::dim(0x8410, k), grey[k]) << k;
        // Through the span on two-pixel words, at both alignments.
        alignas(4) Pixel row[6] = {0, 0xFFFF, 0x8410, 0xFFFF, 0x8410, 0};
        DimSpan(k * 16).apply(row + 1, row + 5);
        EXPECT_EQ(row[0], 0);
        EXPECT_EQ(row[1], white[k]);
        EXPECT_EQ(row[2], grey[k]);
        EXPECT_EQ(row[3], white[k]);
        EXPECT_EQ(row[4], grey[k]);
        EXPECT_EQ(row[5], 0);
    }
    // The bias of the rows 5, 9, 10 and 11 lifts black.
    EXPECT_EQ(DimSpan::dim(0, 5), 0x0861);
    EXPECT_EQ(DimSpan::dim(0, 4), 0);
}

TEST(DimSpan, HalvesEveryChannelAtOneTwentyEight) {
    alignas(4) Pixel row[7];
    for (int i = 0; i < 7; ++i)
        row[i] = Pixel(0x1357 * (i + 1));
    Pixel expected[7];
    for (int i = 0; i < 7; ++i)
        expected[i] = half(row[i]);
    DimSpan(128).apply(row, row + 7);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(row[i], expected[i]) << i;
}

TEST(FillSpan, WritesEveryPixelOfTheSpanAndNothingElse) {
    for (int begin = 0; begin < 3; ++begin) {
        for (int end = begin; end < 9; ++end) {
            alignas(4) Pixel row[10];
            std::fill(row, row + 10, 0x5555);
            FillSpan(0xF00F).apply(row + begin, row + end);
            for (int i = 0; i < 10; ++i)
                EXPECT_EQ(row[i], (i >= begin && i < end) ? 0xF00F : 0x5555)
                    << begin << ".." << end << " at " << i;
        }
    }
}

}  // namespace
}  // namespace vistrel
