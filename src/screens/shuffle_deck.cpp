#include "screens/shuffle_deck.h"

#include <algorithm>
#include <sstream>
#include <unordered_set>

#include "platform/file_stream.h"
#include "platform/path_parts.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace vistrel {

namespace {

constexpr std::string_view kHeader = "vistrel-shuffle 1";

uint32_t fnv1a(std::string_view bytes) {
    uint32_t hash = 2166136261u;
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 16777619u;
    }
    return hash;
}

std::string hex(uint32_t value) {
    static const char digits[] = "0123456789abcdef";
    std::string out(8, '0');
    for (int i = 7; i >= 0; --i, value >>= 4) out[size_t(i)] = digits[value & 15];
    return out;
}

// A file name as the deck file may hold it: one line, no folder, UTF-8.
bool storable_name(std::string_view name) {
    if (name.empty() || name.size() > ShuffleDeck::kMaxNameBytes) return false;
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7f || c == '/') return false;
    bool ok = true;
    from_utf8(name, &ok);
    return ok;
}

}  // namespace

ShuffleDeck::ShuffleDeck(uint64_t seed) : m_random(seed) {}

bool ShuffleDeck::start(const std::u16string& folder, const std::vector<std::u16string>& pictures,
                        std::string_view saved) {
    m_folder = folder;
    m_rounds = 0;
    if (!saved.empty() && restore(saved, pictures)) return true;
    m_sequence = pictures;
    m_dealt = 0;
    shuffle_from(0);
    return saved.empty();
}

void ShuffleDeck::shuffle_from(size_t first) {
    if (first >= m_sequence.size()) return;
    std::shuffle(m_sequence.begin() + std::ptrdiff_t(first), m_sequence.end(), m_random);
}

std::u16string ShuffleDeck::deal(bool* new_round) {
    if (new_round) *new_round = false;
    if (m_sequence.empty()) return {};
    if (m_dealt >= m_sequence.size()) {
        const std::u16string last = m_sequence.back();
        shuffle_from(0);
        // The round's first picture is not the one just shown, when there is a choice.
        if (m_sequence.size() > 1 && m_sequence.front() == last) {
            std::uniform_int_distribution<size_t> other(1, m_sequence.size() - 1);
            std::swap(m_sequence.front(), m_sequence[other(m_random)]);
        }
        m_dealt = 0;
        ++m_rounds;
        if (new_round) *new_round = true;
    }
    return m_sequence[m_dealt++];
}

void ShuffleDeck::update(const std::vector<std::u16string>& pictures) {
    const std::unordered_set<std::u16string> now(pictures.begin(), pictures.end());
    std::unordered_set<std::u16string> known;
    std::vector<std::u16string> kept;
    size_t dealt = 0;
    for (size_t i = 0; i < m_sequence.size(); ++i) {
        if (!now.count(m_sequence[i]) || !known.insert(m_sequence[i]).second) continue;
        kept.push_back(m_sequence[i]);
        if (i < m_dealt) ++dealt;
    }
    std::vector<std::u16string> added;
    for (const std::u16string& picture : pictures)
        if (known.insert(picture).second) added.push_back(picture);
    std::shuffle(added.begin(), added.end(), m_random);
    kept.insert(kept.begin() + std::ptrdiff_t(dealt), added.begin(), added.end());
    m_sequence = std::move(kept);
    m_dealt = dealt;
}

void ShuffleDeck::move_to(size_t index) {
    m_dealt = std::min(index + 1, m_sequence.size());
}

std::string ShuffleDeck::save() const {
    std::string text(kHeader);
    text += "\nfolder " + to_utf8(m_folder) + "\n";
    for (size_t i = 0; i < m_dealt && i < m_sequence.size(); ++i) {
        const std::string name = to_utf8(file_name_part(m_sequence[i]));
        // A name no line can hold is left out: it comes again this round, nothing worse.
        if (storable_name(name)) text += "dealt " + name + "\n";
        if (text.size() > kMaxFileBytes - 64) break;
    }
    text += "sum " + hex(fnv1a(text)) + "\n";
    return text;
}

bool ShuffleDeck::restore(std::string_view saved, const std::vector<std::u16string>& pictures) {
    if (saved.size() > kMaxFileBytes) return false;
    const size_t sum_at = saved.rfind("sum ");
    if (sum_at == std::string_view::npos || (sum_at > 0 && saved[sum_at - 1] != '\n'))
        return false;
    const std::string_view body = saved.substr(0, sum_at);
    std::string_view sum = saved.substr(sum_at + 4);
    if (!sum.empty() && sum.back() == '\n') sum.remove_suffix(1);
    if (sum != hex(fnv1a(body))) return false;

    std::vector<std::string_view> lines;
    for (size_t at = 0; at < body.size();) {
        const size_t end = body.find('\n', at);
        if (end == std::string_view::npos) return false;
        lines.push_back(body.substr(at, end - at));
        at = end + 1;
    }
    if (lines.size() < 2 || lines[0] != kHeader || lines[1].substr(0, 7) != "folder ") return false;
    bool ok = true;
    if (from_utf8(lines[1].substr(7), &ok) != m_folder || !ok) return false;

    std::vector<std::u16string> names_dealt;
    for (size_t i = 2; i < lines.size(); ++i) {
        if (lines[i].substr(0, 6) != "dealt " || !storable_name(lines[i].substr(6))) return false;
        names_dealt.push_back(from_utf8(lines[i].substr(6)));
    }
    // The dealt pictures still there come first, in the order dealt; the rest follow.
    std::vector<std::u16string> ordered;
    std::unordered_set<std::u16string> taken;
    for (const std::u16string& name : names_dealt)
        for (const std::u16string& picture : pictures)
            if (file_name_part(picture) == name && taken.insert(picture).second) {
                ordered.push_back(picture);
                break;
            }
    m_dealt = ordered.size();
    for (const std::u16string& picture : pictures)
        if (taken.insert(picture).second) ordered.push_back(picture);
    m_sequence = std::move(ordered);
    shuffle_from(m_dealt);
    return true;
}

std::string read_deck_file(const std::u16string& path) {
    FileStream file(path, OpenMode::Read);
    if (!file.is_open() || file.size() > ShuffleDeck::kMaxFileBytes) return {};
    std::string text(size_t(file.size()), '\0');
    text.resize(file.read(text.data(), text.size()));
    return text;
}

bool write_deck_file(const std::u16string& path, const std::string& text) {
    const std::u16string temporary = path + u".new";
    {
        FileStream file(temporary, OpenMode::Write);
        if (!file.is_open() || file.write(text.data(), text.size()) != text.size()) {
            delete_file(temporary);
            return false;
        }
    }
    return rename_file(temporary, path);
}

}  // namespace vistrel
