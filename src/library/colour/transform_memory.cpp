// The transforms of the last profiles seen, shared by the pictures that carry them.
#include <algorithm>
#include <list>
#include <mutex>
#include <vector>

#include "library/colour/colour_transform.h"

namespace vistrel {

namespace {

// The transforms of the last profiles seen.
class TransformMemory {
public:
    static TransformMemory& instance() {
        static TransformMemory memory;
        return memory;
    }

    std::shared_ptr<const ColourTransform> find(std::span<const uint8_t> profile,
                                                PixelLayout input) {
        if (profile.size() > kMaxRemembered) return ColourTransform::from_icc(profile, input);
        const uint64_t hash = hash_of(profile);
        {
            const std::scoped_lock lock(m_mutex);
            for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
                if (it->hash == hash && it->input == input &&
                    std::equal(profile.begin(), profile.end(), it->profile.begin(),
                               it->profile.end())) {
                    m_entries.splice(m_entries.begin(), m_entries, it);  // now the newest
                    return it->transform;
                }
        }
        // Made with no lock held: another thread may make the same meanwhile, which costs
        // only time.
        std::shared_ptr<const ColourTransform> made = ColourTransform::from_icc(profile, input);
        const std::scoped_lock lock(m_mutex);
        m_entries.push_front({hash, input, {profile.begin(), profile.end()}, made});
        if (m_entries.size() > kEntries) m_entries.pop_back();
        return made;
    }

private:
    static constexpr size_t kEntries = 8;
    // Larger profiles (printers' CMYK tables) are made anew each time rather than kept.
    static constexpr size_t kMaxRemembered = size_t(256) << 10;

    struct Entry {
        uint64_t hash;
        PixelLayout input;
        std::vector<uint8_t> profile;
        std::shared_ptr<const ColourTransform> transform;  // null: refused
    };

    // FNV-1a.
    static uint64_t hash_of(std::span<const uint8_t> bytes) {
        uint64_t hash = 14695981039346656037ull;
        for (const uint8_t byte : bytes)
            hash = (hash ^ byte) * 1099511628211ull;
        return hash;
    }

    std::mutex m_mutex;
    std::list<Entry> m_entries;  // newest first
};

}  // namespace

std::shared_ptr<const ColourTransform> ColourTransform::shared_from_icc(
    std::span<const uint8_t> profile, PixelLayout input) {
    if (profile.empty()) return nullptr;
    return TransformMemory::instance().find(profile, input);
}

}  // namespace vistrel
