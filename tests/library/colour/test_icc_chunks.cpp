// Putting a JPEG's ICC profile together from its APP2 chunks.
#include <gtest/gtest.h>

#include "colour_samples.h"
#include "library/colour/icc_chunks.h"

namespace vistrel {
namespace {

using test::icc_segment;
using Segments = std::vector<std::vector<uint8_t>>;

std::vector<uint8_t> assemble(const Segments& segments) {
    IccChunks chunks;
    for (const auto& segment : segments)
        chunks.add_segment(segment);
    return chunks.profile();
}

TEST(IccChunks, PutsChunksTogetherInNumberOrder) {
    const std::vector<uint8_t> a{1, 2, 3}, b{4, 5}, c{6};
    const std::vector<uint8_t> whole{1, 2, 3, 4, 5, 6};
    EXPECT_EQ(assemble({icc_segment(1, 3, a), icc_segment(2, 3, b), icc_segment(3, 3, c)}), whole);
    EXPECT_EQ(assemble({icc_segment(3, 3, c), icc_segment(1, 3, a), icc_segment(2, 3, b)}), whole);
    // Other APP2 segments are passed over.
    const std::vector<uint8_t> other{'M', 'P', 'F', 0, 1, 2, 3};
    EXPECT_EQ(assemble({other, icc_segment(1, 1, whole), {}}), whole);
    IccChunks none;
    none.add_segment(other);
    EXPECT_FALSE(none.any());
    EXPECT_TRUE(none.profile().empty());
}

TEST(IccChunks, RefusesBrokenSequences) {
    const std::vector<uint8_t> d{9, 9};
    const Segments broken[] = {
        {icc_segment(1, 3, d), icc_segment(3, 3, d)},                        // missing
        {icc_segment(1, 2, d), icc_segment(1, 2, d)},                        // repeated
        {icc_segment(1, 2, d), icc_segment(2, 2, d), icc_segment(2, 2, d)},  // one too many
        {icc_segment(0, 1, d)},                                              // numbered 0
        {icc_segment(2, 1, d), icc_segment(1, 1, d)},                        // past the count
        {icc_segment(1, 2, d), icc_segment(2, 3, d)},                        // counts differ
        {icc_segment(1, 0, d)},                                              // no chunks
        {icc_segment(1, 2, d), icc_segment(2, 2, {})},                       // empty chunk
    };
    for (const Segments& segments : broken)
        EXPECT_TRUE(assemble(segments).empty());
    // Too short for its numbers.
    std::vector<uint8_t> short_one = icc_segment(1, 1, {});
    short_one.pop_back();
    IccChunks chunks;
    chunks.add_segment(short_one);
    EXPECT_TRUE(chunks.any());
    EXPECT_TRUE(chunks.profile().empty());
}

}  // namespace
}  // namespace vistrel
