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

// Bytes that are not UTF-8 (a Latin-1 name, a stray continuation byte, a cut-short
// sequence, an over-long "/", an encoded surrogate) become one reserved code point each,
// U+DC80..U+DCFF, and come back as the same bytes.
TEST(Text, UndecodableBytesRoundTrip) {
    bool ok = true;
    EXPECT_EQ(from_utf8("caf\xE9", &ok), u"caf\xDCE9");
    EXPECT_FALSE(ok);
    EXPECT_EQ(from_utf8("a\x80" "b", &ok), u"a\xDC80" "b");
    EXPECT_EQ(from_utf8("x\xE2\x82", &ok), u"x\xDCE2\xDC82");
    EXPECT_EQ(from_utf8("\xC0\xAF", &ok), u"\xDCC0\xDCAF");
    EXPECT_EQ(from_utf8("\xED\xA0\x80", &ok), u"\xDCED\xDCA0\xDC80");
    for (const std::string bytes : {"caf\xE9.jpg", "\xFF\xFE", "\xF0\x9F\x98\x80\xF0\x9F",
                                    "ok \xC3\xA9 \xC3", "\xED\xB2\x80"})
        EXPECT_EQ(to_utf8(from_utf8(bytes)), bytes);
    // Other unpaired surrogates have no bytes of their own.
    EXPECT_EQ(to_utf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(to_utf8(std::u16string(1, char16_t(0xDC41))), "\xEF\xBF\xBD");
}

// A file name keeps its backslash as part of the name, not as a separator, and reads as
// well as it can be shown.
TEST(Text, FileNamesKeepEveryByte) {
    const std::u16string name = from_file_name("we\\ird caf\xE9.jpg");
    EXPECT_EQ(name.find(u'\\'), std::u16string::npos);
    EXPECT_EQ(to_utf8(name), "we\\ird caf\xE9.jpg");
    EXPECT_EQ(readable_name(name), u"we\\ird caf\u00e9.jpg");
    EXPECT_EQ(from_file_name("\xC3\xA9t\xC3\xA9"), u"\u00e9t\u00e9");
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
