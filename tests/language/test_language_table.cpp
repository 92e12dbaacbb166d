#include <gtest/gtest.h>

#include <string>

#include "language/language_table.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

using test::TempDir;

// UTF-16LE bytes with the byte-order mark.
std::string utf16_file(const std::u16string& text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

LanguageTable parse(const std::string& bytes) {
    return LanguageTable::parse(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

TEST(LanguageTable, KeyEndsAtEqualsOrWhiteSpace) {
    const LanguageTable t = parse(utf16_file(
        u"Cancel=Abbrechen\r\nOK Gut\nSpaced = Text\ra=b=c\nTrail=x  \n  Indented\tTab\n"));
    EXPECT_EQ(t.text_for(u"Cancel"), u"Abbrechen");
    EXPECT_EQ(t.text_for(u"OK"), u"Gut");
    EXPECT_EQ(t.text_for(u"Spaced"), u"= Text");  // the "=" after white space is text
    EXPECT_EQ(t.text_for(u"a"), u"b=c");
    EXPECT_EQ(t.text_for(u"Trail"), u"x  ");  // trailing spaces belong to the text
    EXPECT_EQ(t.text_for(u"Indented"), u"Tab");
    EXPECT_EQ(t.size(), 6u);
}

TEST(LanguageTable, NoCommentsQuotesOrEscapes) {
    const LanguageTable t = parse(utf16_file(
        u"; note=kept\n# also kept\nNewline=a\\nb\nQuoted=\"x\"\n=ignored\n   \n\nEmpty\nEmpty2=\n"
        u"Dup=first\nDup=second\nIdeographic\u3000Space\n"));
    EXPECT_EQ(t.text_for(u";"), u"note=kept");
    EXPECT_EQ(t.text_for(u"#"), u"also kept");
    EXPECT_EQ(t.text_for(u"Newline"), u"a\\nb");
    EXPECT_EQ(t.text_for(u"Quoted"), u"\"x\"");
    ASSERT_NE(t.find(u"Empty"), nullptr);
    EXPECT_EQ(*t.find(u"Empty"), u"");
    EXPECT_EQ(*t.find(u"Empty2"), u"");
    EXPECT_EQ(t.text_for(u"Dup"), u"second");
    EXPECT_EQ(t.text_for(u"Ideographic"), u"Space");
    EXPECT_EQ(t.find(u""), nullptr);
    EXPECT_EQ(t.text_for(u"Missing key"), u"Missing key");
    EXPECT_EQ(t.text_for(u"cancel"), u"cancel");  // keys keep their letter case
}

TEST(LanguageTable, EncodingFallsBackToEightBitText) {
    // Without the byte-order mark UTF-16 is read byte by byte: every second character is 0.
    std::string no_bom = utf16_file(u"Key=Value").substr(2);
    const LanguageTable wide = parse(no_bom);
    ASSERT_EQ(wide.size(), 1u);
    EXPECT_EQ(wide.entries().begin()->first, std::u16string(u"K\0e\0y\0", 6));

    // An odd size is 8-bit text even after FF FE; bytes above 127 are sign-extended.
    const LanguageTable odd = parse("\xFF\xFEk=v\xE9!");
    EXPECT_EQ(odd.text_for(u"\uFFFF\uFFFEk"), u"v\uFFE9!");

    const LanguageTable ascii = parse("Cancel Abbrechen\r\n");
    EXPECT_EQ(ascii.text_for(u"Cancel"), u"Abbrechen");
    EXPECT_EQ(parse("").size(), 0u);
    EXPECT_EQ(parse("\xFF\xFE").size(), 0u);
}

TEST(LanguageTable, LoadReplacesTheTableOrKeepsIt) {
    TempDir dir;
    test::write_file(dir.file("de.lng"), utf16_file(u"Cancel=Abbrechen\n"));
    test::write_file(dir.file("empty.lng"), "");
    LanguageTable table;
    EXPECT_EQ(table.path(), u"");
    const std::u16string de = dir.u16() + u"/de.lng";
    ASSERT_TRUE(table.load(de));
    EXPECT_EQ(table.path(), de);
    EXPECT_EQ(table.text_for(u"Cancel"), u"Abbrechen");

    EXPECT_FALSE(table.load(dir.u16() + u"/missing.lng"));
    EXPECT_EQ(table.text_for(u"Cancel"), u"Abbrechen");
    EXPECT_EQ(table.path(), de);

    const std::u16string empty = dir.u16() + u"\\empty.lng";  // either separator works
    EXPECT_TRUE(table.load(empty));
    EXPECT_EQ(table.size(), 0u);
    EXPECT_EQ(table.path(), empty);  // kept as given
}

}  // namespace
}  // namespace vistrel
