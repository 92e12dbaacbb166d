#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "shell/monkey.h"

namespace vistrel {
namespace {

TEST(MonkeyRandom, EveryValueOfTheRangeAboutEquallyOften) {
    MonkeyRandom random(5);
    std::vector<int> counts(6);
    for (int i = 0; i < 60000; ++i) {
        const uint32_t value = random.below(6);
        ASSERT_LT(value, 6u);
        ++counts[value];
    }
    for (int count : counts) {
        EXPECT_GT(count, 9500);
        EXPECT_LT(count, 10500);
    }
    std::map<int, int> seen;
    for (int i = 0; i < 2000; ++i)
        ++seen[random.between(-3, 3)];
    EXPECT_EQ(seen.size(), 7u);
    EXPECT_EQ(seen.begin()->first, -3);
    EXPECT_EQ(seen.rbegin()->first, 3);
    EXPECT_EQ(random.below(0), 0u);
    EXPECT_EQ(random.between(4, 4), 4);
    EXPECT_EQ(random.between(4, 1), 4);
}

TEST(MonkeyRandom, ASeedGivesItsNumbersAgainAndOtherSeedsOthers) {
    MonkeyRandom a(123), b(123), c(124);
    std::vector<uint32_t> first, second, other;
    for (int i = 0; i < 100; ++i) {
        first.push_back(a.below(1000003));
        second.push_back(b.below(1000003));
        other.push_back(c.below(1000003));
    }
    EXPECT_EQ(first, second);
    EXPECT_NE(first, other);
}

}  // namespace
}  // namespace vistrel
