// Damaged cache files and pictures that change under the cache builder: no tile (or no
// source), never a crash, a hang or a read outside a buffer; no half-built file that
// passes as valid.

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "jpeg_samples.h"
#include "library/cache/cache_builder.h"
#include "library/cache/cache_file.h"
#include "library/tiles/cache_tile_source.h"
#include "platform/path_parts.h"
#include "platform/text.h"
#include "render/bitmap.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

namespace fs = std::filesystem;

// Little-endian 32-bit numbers inside a byte vector.
uint32_t get32(const std::vector<uint8_t>& bytes, size_t at) {
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
           uint32_t(bytes[at + 3]) << 24;
}
void put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = uint8_t(value >> (8 * i));
}

class BadCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::JpegOptions options;
        options.width = 600;
        options.height = 400;
        options.restart_mcus = 4;
        m_picture = test::make_jpeg(options);
        test::write_bytes(m_dir.file("p.jpg"), m_picture);
        const std::u16string path = from_utf8(m_dir.file("p.jpg"));
        ASSERT_TRUE(build_cache_file(path, m_dir.u16(), {}));
        m_cache = test::read_bytes(to_utf8(cache_file_name(path, m_dir.u16())));
        MemoryStream stream(m_cache);
        ASSERT_TRUE(m_header.read(stream, m_cache.size()));
        // Without its entries the file is one from before checksums: what follows tests the
        // layout checks behind them.
        m_cache.resize(m_header.entries_offset);
        MemoryStream plain(m_cache);
        ASSERT_TRUE(m_header.read(plain, m_cache.size()));
        ASSERT_FALSE(m_header.checksums);
        ASSERT_EQ(m_header.level_count(), 2);
    }

    // Opens a source over the bytes and asks for every tile of every level; returns the
    // number of tiles made per level, or nothing when the source does not open.
    std::optional<std::vector<int>> tiles_made(const std::vector<uint8_t>& cache,
                                               const std::vector<uint8_t>& picture) {
        CacheTileSource source(std::make_unique<MemoryStream>(picture),
                               std::make_unique<MemoryStream>(cache));
        if (!source.open()) return std::nullopt;
        std::vector<int> made;
        for (int level = 0; level <= source.levels(); ++level) {
            const Size grid = source.tile_grid(level);
            int count = 0;
            for (int row = 0; row < grid.h; ++row)
                for (int column = 0; column < grid.w; ++column)
                    count += source.make_tile(column, row, level) != nullptr;
            made.push_back(count);
        }
        return made;
    }
    std::optional<std::vector<int>> tiles_made(const std::vector<uint8_t>& cache) {
        return tiles_made(cache, m_picture);
    }

    // Where record `index` of cache level `e` lies in the cache file.
    size_t record_at(int e, size_t index) const {
        return m_header.levels[e].records_offset + index * kResumeRecordSize;
    }

    test::TempDir m_dir;
    std::vector<uint8_t> m_picture;
    std::vector<uint8_t> m_cache;
    CacheHeader m_header;
};

// Zoom levels 0, 1, 2 are cache levels 2, 1, 0: 1, 2 x 1 and 3 x 2 tiles.
const std::vector<int> kAllTiles{1, 2, 6};

TEST_F(BadCacheTest, IntactCacheMakesEveryTile) {
    EXPECT_EQ(tiles_made(m_cache), kAllTiles);
}

TEST_F(BadCacheTest, CutShortDoesNotOpen) {
    for (size_t size = 0; size < m_cache.size(); size += 1 + size / 3)
        EXPECT_FALSE(tiles_made({m_cache.begin(), m_cache.begin() + size})) << size;
}

TEST_F(BadCacheTest, OffsetsOutsideTheFileDoNotOpen) {
    const size_t level1 = 14;  // records offset, records size, JPEG offset, JPEG size
    for (const size_t field :
         {level1, level1 + 4, level1 + 8, level1 + 12, size_t(6), size_t(46)}) {
        std::vector<uint8_t> bad = m_cache;
        put32(bad, field, uint32_t(m_cache.size()) + 1);
        EXPECT_FALSE(tiles_made(bad)) << field;
        put32(bad, field, 0xFFFFFFF0u);
        EXPECT_FALSE(tiles_made(bad)) << field;
    }
    std::vector<uint8_t> levels = m_cache;
    levels[4] = 3;  // more levels than the picture has
    EXPECT_FALSE(tiles_made(levels));
}

TEST_F(BadCacheTest, RecordsThatDoNotFitTheirLevelGiveNoTiles) {
    // Record counts: one record fewer for cache level 1, whose JPEG moves nothing.
    std::vector<uint8_t> fewer = m_cache;
    put32(fewer, 18, m_header.levels[1].records_size - kResumeRecordSize);
    EXPECT_EQ(tiles_made(fewer), (std::vector<int>{1, 0, 6}));
    std::vector<uint8_t> odd = m_cache;
    put32(odd, 10, m_header.levels[0].records_size - 1);
    EXPECT_EQ(tiles_made(odd), (std::vector<int>{1, 2, 0}));

    // Impossible values in one record of the picture's level: bit counts above 32, byte
    // counts beyond the level or above the record before, restart states the picture does
    // not have, and a first record not at the start of the data.
    const size_t last = m_header.levels[0].records_size / kResumeRecordSize - 1;
    const uint32_t before_last = get32(m_cache, record_at(0, last - 1) + 11);
    struct Damage {
        size_t index;
        size_t offset;  // within the record
        uint32_t value;
        int bytes;
    };
    for (const Damage& damage :
         {Damage{3, 6, 33, 1}, Damage{3, 6, 255, 1}, Damage{last, 11, 0x7FFFFFFF, 4},
          Damage{2, 11, 0x10000, 4}, Damage{last, 11, before_last + 1, 4}, Damage{3, 7, 5, 4},
          Damage{3, 15, 9, 1}, Damage{0, 6, 8, 1}}) {
        std::vector<uint8_t> bad = m_cache;
        const size_t at = record_at(0, damage.index) + damage.offset;
        if (damage.bytes == 4)
            put32(bad, at, damage.value);
        else
            bad[at] = uint8_t(damage.value);
        EXPECT_EQ(tiles_made(bad), (std::vector<int>{1, 2, 0}))
            << damage.index << "+" << damage.offset;
    }
}

TEST_F(BadCacheTest, DamagedDataOrPictureNeverCrashes) {
    std::mt19937 random(2024);
    for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> cache = m_cache;
        std::vector<uint8_t> picture = m_picture;
        std::vector<uint8_t>& target = round % 3 == 0 ? picture : cache;
        const int changes = 1 + int(random() % 6);
        for (int i = 0; i < changes; ++i) {
            // Mostly inside the records and headers, where a byte matters most.
            const size_t limit = round % 2 ? target.size() : std::min<size_t>(target.size(), 800);
            target[random() % limit] = uint8_t(random());
        }
        tiles_made(cache, picture);
    }
    // Another picture of the same size in place of the one cached.
    test::JpegOptions other;
    other.width = 600;
    other.height = 400;
    other.pattern = 5;
    other.quality = 60;
    const auto made = tiles_made(m_cache, test::make_jpeg(other));
    ASSERT_TRUE(made);
    EXPECT_EQ((*made)[0], 1);
}

// The picture changes or disappears while its cache file is being built: the build fails
// and nothing in the cache folder passes as a valid cache file.
TEST_F(BadCacheTest, PictureChangingDuringItsBuildLeavesNoValidFile) {
    const std::string file = m_dir.file("c.jpg");
    for (const bool vanish : {false, true}) {
        fs::remove_all(m_dir.path() / "!vistrelcache");
        test::write_bytes(file, m_picture);
        const std::u16string path = from_utf8(file);
        const std::u16string name = cache_file_name(path, m_dir.u16());
        int rows = 0;
        const bool built = build_cache_file(path, m_dir.u16(), [&] {
            if (++rows == 50) {
                if (vanish)
                    fs::remove(file);
                else
                    test::write_bytes(file, test::make_jpeg({}));
            }
            return false;
        });
        EXPECT_FALSE(built) << vanish;
        EXPECT_FALSE(is_cache_file_valid(name)) << vanish;
        if (!vanish) {
            EXPECT_FALSE(is_cache_valid(path, m_dir.u16()));
        }
        for (const auto& entry : fs::directory_iterator(m_dir.path() / "!vistrelcache"))
            EXPECT_FALSE(is_cache_file_valid(from_utf8(entry.path().string())))
                << entry.path() << " " << vanish;
    }
}

}  // namespace
}  // namespace vistrel
