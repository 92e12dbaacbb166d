// The date and caption kept with a picture's cache file: read from EXIF, XMP and IPTC,
// cleaned, bounded against hostile metadata, and stored in the cache file's entry.

#include <gtest/gtest.h>

#include <random>

#include "jpeg_samples.h"
#include "library/cache/cache_builder.h"
#include "library/cache/cache_file.h"
#include "library/cache/picture_facts.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

using Bytes = std::vector<uint8_t>;
using test::exif;
using test::with_segments;

std::string xmp(const std::string& description) {
    return std::string("http://ns.adobe.com/xap/1.0/\0", 29) +
           "<x:xmpmeta><rdf:RDF><rdf:Description><dc:description><rdf:Alt>"
           "<rdf:li xml:lang=\"x-default\">" +
           description + "</rdf:li></rdf:Alt></dc:description></rdf:Description></rdf:RDF></x:xmpmeta>";
}

std::string iptc(const std::string& caption) {
    std::string records = {0x1C, 2, 120, char(caption.size() >> 8), char(caption.size() & 0xFF)};
    records += caption;
    std::string block = "8BIM";
    block += {0x04, 0x04, 0, 0};  // resource 0x0404, empty name padded to even
    block += {0, 0, char(records.size() >> 8), char(records.size() & 0xFF)};
    block += records;
    if (records.size() & 1) block += '\0';
    return std::string("Photoshop 3.0\0", 14) + block;
}

PictureFacts facts_of(const Bytes& jpeg) {
    MemoryStream stream(jpeg);
    return read_picture_facts(stream);
}

TEST(PictureFacts, DateAndCaptionFromEachSourceInTurn) {
    const PictureFacts all = facts_of(with_segments(
        {{0xE1, exif("Harbour at dawn", "2019:07:14 06:31:02")}, {0xE1, xmp("XMP words")},
         {0xED, iptc("IPTC words")}}));
    ASSERT_TRUE(all.taken.has_value());
    EXPECT_EQ(*all.taken, (TakenDate{2019, 7, 14, 6, 31, 2}));
    EXPECT_EQ(all.caption, u"Harbour at dawn");
    // A camera's own description says nothing: the XMP one is taken, its entities undone.
    const PictureFacts camera = facts_of(with_segments(
        {{0xE1, exif("OLYMPUS DIGITAL CAMERA         ", "0000:00:00 00:00:00")},
         {0xE1, xmp("Fish &amp; chips &#233;t&#xE9;")}}));
    EXPECT_FALSE(camera.taken.has_value());
    EXPECT_EQ(camera.caption, u"Fish & chips \u00e9t\u00e9");
    EXPECT_EQ(facts_of(with_segments({{0xED, iptc("Caf\xe9 terrace")}})).caption,
              u"Caf\u00e9 terrace");
    const PictureFacts none = facts_of(test::make_jpeg({}));
    EXPECT_FALSE(none.taken.has_value());
    EXPECT_TRUE(none.caption.empty());
}

TEST(PictureFacts, DatesThatAreNoneAndCaptionsCleaned) {
    EXPECT_FALSE(parse_exif_date("0000:00:00 00:00:00"));
    EXPECT_FALSE(parse_exif_date("2023:02:29 10:00:00"));
    EXPECT_FALSE(parse_exif_date("2023:13:01 10:00:00"));
    EXPECT_FALSE(parse_exif_date("2023:12:01 24:00:00"));
    EXPECT_FALSE(parse_exif_date("2023:12:01"));
    EXPECT_FALSE(parse_exif_date("    :  :     :  :  "));
    EXPECT_EQ(parse_exif_date("9999:12:31 23:59:59"), (TakenDate{9999, 12, 31, 23, 59, 59}));
    EXPECT_EQ(parse_exif_date("2024-02-29 10:00:00"), (TakenDate{2024, 2, 29, 10, 0, 0}));
    EXPECT_EQ(clean_caption("  two\r\n\tlines \x01 "), u"two lines");
    EXPECT_EQ(clean_caption("  ..-- "), u"");
    EXPECT_EQ(clean_caption("sony dsc"), u"");
    const std::u16string long_one = clean_caption(std::string(5000, 'x'));
    EXPECT_LE(long_one.size(), 201u);
    EXPECT_EQ(long_one.back(), u'\u2026');
}

TEST(PictureFacts, HostileMetadataReadsAsNothingOrWhatIsSound) {
    const Bytes good = with_segments({{0xE1, exif("Caption", "2001:01:02 03:04:05")},
                                      {0xE1, xmp("x")}, {0xED, iptc("y")}});
    std::mt19937 random(5);
    for (int i = 0; i < 2000; ++i) {
        Bytes bad = good;
        for (int k = 0; k < 4; ++k) bad[2 + random() % 300] = uint8_t(random());
        if (i % 3 == 0) bad.resize(2 + random() % 300);
        const PictureFacts facts = facts_of(bad);
        EXPECT_LE(facts.caption.size(), 201u);
        // What a damaged file yields is still a real date, fit for the entry.
        if (facts.taken) {
            EXPECT_TRUE(PictureFacts::from_entry(facts.entry()).has_value());
        }
    }
    // A directory that claims a vast count, an IPTC record longer than its block.
    std::string huge = exif("Caption", "2001:01:02 03:04:05");
    huge[6 + 8] = char(0xFF);
    huge[6 + 9] = char(0xFF);
    facts_of(with_segments({{0xE1, huge}}));
    std::string cut = iptc("caption");
    cut[cut.size() - 9] = 0x7F;
    EXPECT_TRUE(facts_of(with_segments({{0xED, cut}})).caption.empty());
}

TEST(PictureFacts, TheCacheFileKeepsThem) {
    PictureFacts facts;
    facts.taken = TakenDate{1999, 12, 31, 23, 59, 59};
    facts.caption = u"Party \U0001F389";
    const Bytes entry = facts.entry();
    const std::optional<PictureFacts> back = PictureFacts::from_entry(entry);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->taken, facts.taken);
    EXPECT_EQ(back->caption, facts.caption);
    for (size_t cut = 0; cut < entry.size(); ++cut)
        EXPECT_FALSE(PictureFacts::from_entry(Bytes(entry.begin(), entry.begin() + long(cut))));
    Bytes month13 = entry;
    month13[4] = 13;
    EXPECT_FALSE(PictureFacts::from_entry(month13));

    test::TempDir dir;
    test::write_bytes(dir.file("a.jpg"),
                      with_segments({{0xE1, exif("On the pier", "2010:05:06 07:08:09")}}));
    const std::u16string picture = from_utf8(dir.file("a.jpg"));
    ASSERT_TRUE(build_cache_file(picture, dir.u16(), {}));
    const std::optional<PictureFacts> kept = read_cached_facts(cache_file_name(picture, dir.u16()));
    ASSERT_TRUE(kept.has_value());
    EXPECT_EQ(kept->taken, (TakenDate{2010, 5, 6, 7, 8, 9}));
    EXPECT_EQ(kept->caption, u"On the pier");
}

}  // namespace
}  // namespace vistrel
