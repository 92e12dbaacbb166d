#include "render/span_op.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

#include "render/vector_clones.h"

namespace vistrel {
namespace {

// Rows are 4-byte aligned, so the middle of a span can be walked as 32-bit words holding
// two pixels; the alias-safe word type keeps the compiler honest about it.
using Word = uint32_t __attribute__((may_alias));

bool word_aligned(const Pixel* p) {
    return (reinterpret_cast<uintptr_t>(p) & 3) == 0;
}

// Channel-wise scaling by k / 16 of one 32-bit word, both halves at once. No formula
// carries out of a channel, so the halves never disturb each other.
template <int K>
uint32_t dim_word(uint32_t p) {
    const uint32_t s1 = (p >> 1) & 0x7BEF7BEF;
    const uint32_t s2 = (p >> 2) & 0x39E739E7;
    const uint32_t s3 = (p >> 3) & 0x18E318E3;
    const uint32_t s4 = (p >> 4) & 0x08610861;
    const uint32_t b = 0x08610861;
    if constexpr (K == 0) return 0;
    if constexpr (K == 1) return s4;
    if constexpr (K == 2) return s3;
    if constexpr (K == 3) return s2 - s4;
    if constexpr (K == 4) return s2;
    if constexpr (K == 5) return s2 + s4 + b;
    if constexpr (K == 6) return s1 - s3;
    if constexpr (K == 7) return s1 - s4;
    if constexpr (K == 8) return s1;
    if constexpr (K == 9) return s1 + s4 + b;
    if constexpr (K == 10) return s1 + s3 + b;
    if constexpr (K == 11) return s1 + s3 + s4 + b;
    if constexpr (K == 12) return p - s2;
    if constexpr (K == 13) return p - s2 + s4;
    if constexpr (K == 14) return p - s3;
    if constexpr (K == 15) return p - s4;
    return p;
}

template <int K>
void dim_span(Pixel* begin, Pixel* end) {
    if (begin == end) return;
    if (!word_aligned(begin)) {
        *begin = static_cast<Pixel>(dim_word<K>(*begin));
        ++begin;
    }
    Word* words = reinterpret_cast<Word*>(begin);
    const long pairs = (end - begin) / 2;
    for (long i = 0; i < pairs; ++i)
        words[i] = dim_word<K>(words[i]);
    if ((end - begin) & 1) end[-1] = static_cast<Pixel>(dim_word<K>(end[-1]));
}

using DimFunction = void (*)(Pixel*, Pixel*);

template <int... K>
constexpr auto make_dim_table(std::integer_sequence<int, K...>) {
    return std::array<DimFunction, sizeof...(K)>{&dim_span<K>...};
}
constexpr auto kDimSpans = make_dim_table(std::make_integer_sequence<int, 17>{});

template <int... K>
constexpr auto make_dim_word_table(std::integer_sequence<int, K...>) {
    return std::array<uint32_t (*)(uint32_t), sizeof...(K)>{&dim_word<K>...};
}
constexpr auto kDimWords = make_dim_word_table(std::make_integer_sequence<int, 17>{});

VISTREL_VECTOR_CLONES void fill_words(Word* words, long count, uint32_t pair) {
    for (long i = 0; i < count; ++i)
        words[i] = pair;
}

}  // namespace

void FillSpan::apply(Pixel* begin, Pixel* end) const {
    if (begin == end) return;
    if (!word_aligned(begin)) *begin++ = m_value;
    fill_words(reinterpret_cast<Word*>(begin), (end - begin) / 2,
               uint32_t(m_value) << 16 | m_value);
    if ((end - begin) & 1) end[-1] = m_value;
}

DimSpan::DimSpan(int alpha)
    : m_level(static_cast<int>(std::clamp<int64_t>((int64_t(alpha) + 8) / 16, 0, 16))) {}

void DimSpan::apply(Pixel* begin, Pixel* end) const {
    kDimSpans[m_level](begin, end);
}

Pixel DimSpan::dim(Pixel p, int k) {
    return static_cast<Pixel>(kDimWords[std::clamp(k, 0, 16)](p));
}

}  // namespace vistrel
