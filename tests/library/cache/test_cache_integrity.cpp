// Cache files damaged after they were written: every flipped bit is caught, each reader
// checks only what it reads and removes a damaged file so that it is built again, files
// from before checksums read as they did, and the entries at the end hold facts by tag.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>

#include "jpeg_samples.h"
#include "library/cache/cache_builder.h"
#include "library/cache/cache_check.h"
#include "library/cache/cache_file.h"
#include "library/cache/thumbnail.h"
#include "library/tiles/cache_tile_source.h"
#include "platform/text.h"
#include "render/bitmap.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

namespace fs = std::filesystem;

class CacheIntegrityTest : public ::testing::Test {
protected:
    // Builds the cache file of a 1100 x 700 picture (three halved levels), with a baseline
    // copy when `progressive`.
    void build(bool progressive) {
        test::JpegOptions options;
        options.width = 1100;
        options.height = 700;
        options.progressive = progressive;
        test::write_bytes(m_dir.file("p.jpg"), test::make_jpeg(options));
        m_path = from_utf8(m_dir.file("p.jpg"));
        ASSERT_TRUE(build_cache_file(m_path, m_dir.u16(), {}));
        m_name = to_utf8(cache_file_name(m_path, m_dir.u16()));
        m_good = test::read_bytes(m_name);
        MemoryStream stream(m_good);
        ASSERT_TRUE(m_header.read(stream, m_good.size()));
        ASSERT_TRUE(m_header.checksums);
        ASSERT_EQ(m_header.has_copy(), progressive);
        ASSERT_EQ(m_header.level_count(), 3);
    }
    void write_flipped(size_t byte, uint8_t mask = 0x04) {
        std::vector<uint8_t> bad = m_good;
        bad[byte] ^= mask;
        test::write_bytes(m_name, bad);
    }
    bool file_there() const { return fs::exists(m_name); }
    // Tiles a source opened by path makes at zoom `level`, all of them.
    int tiles_at(CacheTileSource& source, int level) {
        const Size grid = source.tile_grid(level);
        int made = 0;
        for (int row = 0; row < grid.h; ++row)
            for (int column = 0; column < grid.w; ++column)
                made += source.make_tile(column, row, level) != nullptr;
        return made;
    }

    test::TempDir m_dir;
    std::u16string m_path;
    std::string m_name;
    std::vector<uint8_t> m_good;
    CacheHeader m_header;
};

TEST_F(CacheIntegrityTest, EverySingleBitFlipIsCaught) {
    for (const bool progressive : {false, true}) {
        build(progressive);
        std::mt19937 random(progressive ? 7 : 24);
        int caught = 0;
        for (int flip = 0; flip < 100; ++flip) {
            const size_t bit = random() % (m_good.size() * 8);
            write_flipped(bit / 8, uint8_t(1 << (bit % 8)));
            const CacheReport report = inspect_cache_file(from_utf8(m_name), m_path);
            caught += !report.valid;
            EXPECT_FALSE(report.valid) << "bit " << bit << " of " << m_good.size() * 8;
        }
        std::printf("%s picture, cache file of %zu bytes: %d of 100 single-bit flips caught\n",
                    progressive ? "progressive" : "baseline", m_good.size(), caught);
        // The footer's own tag: the entries are no longer found, and the bytes they take
        // are not accounted for.
        write_flipped(m_good.size() - 1);
        EXPECT_FALSE(inspect_cache_file(from_utf8(m_name), m_path).valid);
        test::write_bytes(m_name, m_good);
        EXPECT_TRUE(inspect_cache_file(from_utf8(m_name), m_path).valid);
    }
}

TEST_F(CacheIntegrityTest, ADamagedThumbnailIsRemovedSoThePictureIsBuiltAgain) {
    build(false);
    write_flipped(m_header.thumbnail_offset + m_header.thumbnail_size / 2);
    const CacheReport report = inspect_cache_file(from_utf8(m_name), m_path);
    EXPECT_EQ(report.problem, "thumbnail: checksum fails");
    EXPECT_FALSE(load_thumbnail(m_path, m_dir.u16()));
    EXPECT_FALSE(file_there());
    EXPECT_FALSE(is_cache_valid(m_path, m_dir.u16()));  // the next search queues it

    // A damaged header is found by every reader when it opens the file.
    write_flipped(14 + 2);
    EXPECT_EQ(inspect_cache_file(from_utf8(m_name), m_path).problem,
              "bad header: header: checksum fails");
    CacheTileSource source(m_path, m_dir.u16());
    EXPECT_FALSE(source.open());
    EXPECT_TRUE(source.damaged());
    EXPECT_FALSE(file_there());
}

TEST_F(CacheIntegrityTest, TileSourcesCheckALevelWhenTheyFirstUseIt) {
    for (const bool progressive : {false, true}) {
        build(progressive);
        // Cache level 1 is zoom level 2; the copy (or the picture) is zoom level 3.
        const CacheLevel& level = m_header.levels[1];
        for (const size_t byte : {size_t(level.records_offset + 5),
                                  size_t(level.jpeg_offset + level.jpeg_size - 40)}) {
            write_flipped(byte);
            CacheTileSource source(m_path, m_dir.u16());
            ASSERT_TRUE(source.open());
            EXPECT_EQ(tiles_at(source, 0), 1);  // an intact level
            EXPECT_FALSE(source.damaged());
            EXPECT_TRUE(load_thumbnail(m_path, m_dir.u16()));  // reads only the thumbnail
            EXPECT_EQ(tiles_at(source, 2), 0);
            EXPECT_TRUE(source.damaged());
            EXPECT_FALSE(file_there());
        }
        if (progressive) {
            write_flipped(m_header.copy_offset + m_header.copy_size / 2);
            EXPECT_EQ(inspect_cache_file(from_utf8(m_name), m_path).problem,
                      "baseline copy: checksum fails");
            CacheTileSource source(m_path, m_dir.u16());
            ASSERT_TRUE(source.open());
            EXPECT_EQ(tiles_at(source, 3), 0);
            EXPECT_TRUE(source.damaged());
        }
        // The send-by-mail copy of a damaged level is refused.
        write_flipped(level.jpeg_offset + 100);
        CacheTileSource source(m_path, m_dir.u16());
        ASSERT_TRUE(source.open());
        EXPECT_FALSE(source.save_version(from_utf8(m_dir.file("sent.jpg")), 1));
        EXPECT_TRUE(source.damaged());
    }
}

TEST_F(CacheIntegrityTest, FilesFromBeforeChecksumsReadAsBefore) {
    build(true);
    std::vector<uint8_t> old = m_good;
    old.resize(m_header.entries_offset);
    test::write_bytes(m_name, old);
    const CacheReport report = inspect_cache_file(from_utf8(m_name), m_path);
    ASSERT_TRUE(report.valid) << report.problem;
    EXPECT_FALSE(report.header.checksums);
    EXPECT_TRUE(report.header.has_copy());
    EXPECT_TRUE(load_thumbnail(m_path, m_dir.u16()));
    CacheTileSource source(m_path, m_dir.u16());
    ASSERT_TRUE(source.open());
    EXPECT_EQ(tiles_at(source, 3), 15);  // 5 x 3 tiles from the copy
    EXPECT_FALSE(read_cache_entry(from_utf8(m_name), SectionChecksums::kTag));
    // Their damage goes unseen, as it did (the pixels are wrong, the file is kept).
    old[m_header.thumbnail_offset + m_header.thumbnail_size / 2] ^= 0x04;
    test::write_bytes(m_name, old);
    load_thumbnail(m_path, m_dir.u16());
    EXPECT_TRUE(file_there());
}

TEST(CacheEntries, FactsAreWrittenAndReadBackByTag) {
    CacheEntries entries;
    entries.set(cache_tag("DATE"), {1, 2, 3});
    entries.set(cache_tag("CAPT"), {});
    entries.set(cache_tag("DATE"), {4});  // a tag stands once
    std::vector<uint8_t> file = {9, 9, 9};  // what comes before the entries
    const std::vector<uint8_t> block = entries.bytes();
    file.insert(file.end(), block.begin(), block.end());

    MemoryStream stream(file);
    CacheEntries read;
    uint64_t start = 0;
    ASSERT_EQ(read.read(stream, file.size(), start), CacheEntries::Found::Intact);
    EXPECT_EQ(start, 3u);
    ASSERT_TRUE(read.find(cache_tag("DATE")));
    EXPECT_EQ(*read.find(cache_tag("DATE")), std::vector<uint8_t>{4});
    ASSERT_TRUE(read.find(cache_tag("CAPT")));
    EXPECT_FALSE(read.find(cache_tag("SFMT")));

    for (size_t at = 3; at < file.size(); ++at) {
        std::vector<uint8_t> bad = file;
        bad[at] ^= 0x01;
        MemoryStream damaged(bad);
        const CacheEntries::Found found = read.read(damaged, bad.size(), start);
        // Only the footer's tag makes the block vanish (the file's layout then tells).
        EXPECT_EQ(found, at + 4 >= file.size() ? CacheEntries::Found::None
                                               : CacheEntries::Found::Damaged)
            << at;
    }
    MemoryStream none(std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13});
    EXPECT_EQ(read.read(none, 13, start), CacheEntries::Found::None);
}

}  // namespace
}  // namespace vistrel
