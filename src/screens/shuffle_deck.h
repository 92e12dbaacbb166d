#pragma once
// A folder's pictures dealt like a deck of cards for the shuffled slide show: every picture
// once before any comes again, a new order each round, pictures that join meanwhile dealt
// next. The round's order is a sequence (dealt pictures first, then the rest in the order
// they will come); the viewer walks the same sequence, so its neighbours are the pictures
// dealt before and after the shown one.
//
// Which pictures the round has dealt survives a restart through a small text file:
//
//   vistrel-shuffle 1
//   folder PATH            the folder the deck belongs to (UTF-8)
//   dealt NAME             one line per dealt picture, by file name, in the order dealt
//   sum HEX                FNV-1a (32 bits) of every byte before this line
//
// A file that is too large, damaged or of another folder gives a fresh deck.

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel {

class ShuffleDeck {
public:
    static constexpr size_t kMaxFileBytes = 1 << 20;
    static constexpr size_t kMaxNameBytes = 1024;

    explicit ShuffleDeck(uint64_t seed);

    // Starts on the pictures of `folder` (full paths): a fresh round in a new order, or the
    // round `saved` describes (its dealt pictures that still exist stay dealt). False, with
    // a fresh round, when `saved` is not empty and cannot be used.
    bool start(const std::u16string& folder, const std::vector<std::u16string>& pictures,
               std::string_view saved = {});
    // The next picture, starting a new round in a new order after the last; empty when
    // there are no pictures. `new_round` tells whether this deal began one.
    std::u16string deal(bool* new_round = nullptr);
    // The pictures now in the folder: the ones gone leave the deck, new ones join the round
    // to be dealt next (in an order of their own).
    void update(const std::vector<std::u16string>& pictures);
    // The user moved to sequence()[index] by hand: it is the last one dealt now.
    void move_to(size_t index);

    const std::vector<std::u16string>& sequence() const { return m_sequence; }
    // How many pictures of the sequence this round has dealt; the shown one is the last.
    size_t dealt() const { return m_dealt; }
    uint64_t rounds() const { return m_rounds; }
    const std::u16string& folder() const { return m_folder; }

    // The file text of the deck's position.
    std::string save() const;

private:
    bool restore(std::string_view saved, const std::vector<std::u16string>& pictures);
    void shuffle_from(size_t first);

    std::mt19937_64 m_random;
    std::u16string m_folder;
    std::vector<std::u16string> m_sequence;
    size_t m_dealt = 0;
    uint64_t m_rounds = 0;
};

// Reads and writes the deck's file at `path`; reading gives empty text when the file is
// missing or larger than ShuffleDeck::kMaxFileBytes, writing replaces the file atomically.
std::string read_deck_file(const std::u16string& path);
bool write_deck_file(const std::u16string& path, const std::string& text);

}  // namespace vistrel
