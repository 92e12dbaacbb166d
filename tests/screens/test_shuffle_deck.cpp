// The shuffled slide show's deck: rounds, pictures that come and go, and its saved position.
#include <gtest/gtest.h>

#include <set>

#include "platform/text.h"
#include "screens/shuffle_deck.h"

namespace vistrel {
namespace {

std::vector<std::u16string> pictures(int count, int first = 0) {
    std::vector<std::u16string> out;
    for (int i = first; i < first + count; ++i) out.push_back(u"/photos/p" + to_u16(i) + u".jpg");
    return out;
}

TEST(ShuffleDeck, DealsEachPictureOnceARoundInNewOrders) {
    ShuffleDeck deck(7);
    const std::vector<std::u16string> all = pictures(6);
    ASSERT_TRUE(deck.start(u"/photos", all));
    std::vector<std::vector<std::u16string>> rounds;
    std::u16string last;
    for (int i = 0; i < 6 * 8; ++i) {
        bool new_round = false;
        const std::u16string picture = deck.deal(&new_round);
        EXPECT_EQ(new_round, i > 0 && i % 6 == 0) << i;
        if (i % 6 == 0) rounds.emplace_back();
        EXPECT_NE(picture, last) << "the same picture twice in a row at " << i;
        rounds.back().push_back(picture);
        last = picture;
    }
    std::set<std::vector<std::u16string>> orders;
    for (const auto& round : rounds) {
        EXPECT_EQ(std::set<std::u16string>(round.begin(), round.end()).size(), 6u);
        orders.insert(round);
    }
    EXPECT_GT(orders.size(), 4u);
    EXPECT_EQ(deck.rounds(), 7u);
    ShuffleDeck empty(1);
    EXPECT_TRUE(empty.start(u"/none", {}));
    EXPECT_TRUE(empty.deal().empty());
}

TEST(ShuffleDeck, NewPicturesComeNextAndRemovedOnesNever) {
    ShuffleDeck deck(3);
    std::vector<std::u16string> all = pictures(5);
    deck.start(u"/photos", all);
    const std::u16string first = deck.deal();
    const std::u16string second = deck.deal();
    // Two pictures join, one not yet dealt and the first dealt one leave.
    const std::vector<std::u16string> added = pictures(2, 100);
    std::vector<std::u16string> now;
    std::u16string removed;
    for (size_t i = 2; i < 5; ++i)
        if (removed.empty() && deck.sequence()[i] != first) removed = deck.sequence()[i];
    for (const auto& p : all)
        if (p != removed && p != first) now.push_back(p);
    now.insert(now.end(), added.begin(), added.end());
    deck.update(now);
    EXPECT_EQ(deck.dealt(), 1u);  // the second one is still dealt, the first is gone
    EXPECT_EQ(deck.sequence()[0], second);
    const std::set<std::u16string> next{deck.deal(), deck.deal()};
    EXPECT_EQ(next, std::set<std::u16string>(added.begin(), added.end()));
    std::set<std::u16string> rest;
    while (deck.dealt() < deck.sequence().size()) rest.insert(deck.deal());
    EXPECT_EQ(rest.size(), 2u);
    EXPECT_FALSE(rest.count(removed) || rest.count(first) || rest.count(second));
}

TEST(ShuffleDeck, ThePositionSurvivesAndADamagedFileGivesAFreshDeck) {
    const std::vector<std::u16string> all = pictures(6);
    ShuffleDeck deck(11);
    deck.start(u"/photos", all);
    std::set<std::u16string> dealt{deck.deal(), deck.deal(), deck.deal()};
    const std::string saved = deck.save();

    ShuffleDeck again(12);
    ASSERT_TRUE(again.start(u"/photos", all, saved));
    EXPECT_EQ(again.dealt(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(dealt.insert(again.deal()).second);
    EXPECT_EQ(dealt.size(), 6u);

    std::string damaged = saved;
    damaged[damaged.find("dealt ") + 7] ^= 1;
    const std::string bad[] = {damaged, saved.substr(0, saved.size() / 2), "sum 00000000\n",
                               std::string(ShuffleDeck::kMaxFileBytes + 1, 'x'),
                               "vistrel-shuffle 1\nfolder /photos\ndealt a/b\nsum 0\n"};
    for (const std::string& file : bad) {
        ShuffleDeck fresh(13);
        EXPECT_FALSE(fresh.start(u"/photos", all, file));
        EXPECT_EQ(fresh.dealt(), 0u);
        EXPECT_EQ(fresh.sequence().size(), 6u);
    }
    // Another folder's deck does not apply here.
    ShuffleDeck other(14);
    EXPECT_FALSE(other.start(u"/elsewhere", pictures(6), saved));
    EXPECT_EQ(other.dealt(), 0u);
}

}  // namespace
}  // namespace vistrel
