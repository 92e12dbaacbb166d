#include <gtest/gtest.h>

#include "platform/text.h"

namespace vistrel {
namespace {

TEST(Text, Utf8RoundTripKeepsEveryPlane) {
    const std::u16string text = u"Ab\u00e9\u0416\u20ac\U0001F600z";
    bool ok = false;
    EXPECT_EQ(from_utf8(to_utf8(text), &ok), text);
    EXPECT_TRUE(ok);
    EXPECT_EQ(to_utf8(u"\u0416"), "\xD0\x96");
}

TEST(Text, MalformedInputBecomesReplacementCharacters) {
    bool ok = true;
    // A stray continuation byte, a cut-short sequence, an over-long "/" and an encoded
    // surrogate.
    EXPECT_EQ(from_utf8("a\x80" "b", &ok), u"a\uFFFDb");
    EXPECT_FALSE(ok);
    EXPECT_EQ(from_utf8("x\xE2\x82", &ok), u"x\uFFFD");
    EXPECT_FALSE(ok);
    EXPECT_EQ(from_utf8("\xC0\xAF", &ok), u"\uFFFD");
    EXPECT_EQ(from_utf8("\xED\xA0\x80", &ok), u"\uFFFD");
    // An unpaired surrogate on the way out.
    EXPECT_EQ(to_utf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(Text, WidenSignExtendsBytesAbove127) {
    const std::u16string wide = widen("A\x80\xFF");
    ASSERT_EQ(wide.size(), 3u);
    EXPECT_EQ(wide[0], u'A');
    EXPECT_EQ(wide[1], 0xFF80);
    EXPECT_EQ(wide[2], 0xFFFF);
}

TEST(Text, LetterCaseCoversLatinGreekAndCyrillic) {
    EXPECT_EQ(to_lower(u"ENGLISH \u00c9T\u00c9 \u0420\u0423\u0421\u0421\u041a\u0418\u0419 \u0401 \u03a3"),
              u"english \u00e9t\u00e9 \u0440\u0443\u0441\u0441\u043a\u0438\u0439 \u0451 \u03c3");
    EXPECT_EQ(to_upper(u"polski \u0105\u0119 \u0451\u0436"), u"POLSKI \u0104\u0118 \u0401\u0416");
    // Characters without case pass through.
    EXPECT_EQ(to_lower(u"123 _!\u00d7"), u"123 _!\u00d7");
    EXPECT_EQ(to_upper(u"\u00f7\u00df"), u"\u00f7\u00df");
}

TEST(Text, DecimalNumbers) {
    EXPECT_EQ(to_u16(0), u"0");
    EXPECT_EQ(to_u16(-2147483648LL), u"-2147483648");
}

}  // namespace
}  // namespace vistrel
