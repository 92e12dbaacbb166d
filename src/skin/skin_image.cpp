#include "skin/skin_image.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace vistrel {

using namespace skin_format;

int compare_skin_name(std::u16string_view key, const uint8_t* name) {
    for (size_t i = 0;; ++i) {
        const uint16_t unit = load_u16(name + 2 * i);
        if (i == key.size()) return unit == 0 ? 0 : -1;
        if (unit == 0) return 1;
        const uint16_t k = key[i];
        if (k != unit) return k < unit ? -1 : 1;
    }
}

namespace {

// The same order between two names inside the file.
int compare_file_names(const uint8_t* a, const uint8_t* b) {
    for (size_t i = 0;; i += 2) {
        const uint16_t ua = load_u16(a + i);
        const uint16_t ub = load_u16(b + i);
        if (ua == 0 || ub == 0) return (ua != 0) - (ub != 0);
        if (ua != ub) return ua < ub ? -1 : 1;
    }
}

uint16_t body_bound(const uint8_t* body, int index) {
    return load_u16(body + 2 * index);
}

}  // namespace

// The load-time checks. Each runs in time linear in the file size.
class SkinImage::Checker {
public:
    explicit Checker(SkinImage& image)
        : m_image(image), m_data(image.m_bytes.data()), m_size(image.m_bytes.size()) {}

    bool run() {
        if (m_size < kHeaderSize) return fail("shorter than the header");
        for (int i = 0; i < 4; ++i) {
            if (load_u16(m_data + 2 * i) != kMagic[i]) return fail("not a skin file (magic)");
        }
        m_name_state.assign(m_size, 0);
        return check_pool() && check_tree() && check_bodies();
    }

    std::string error;

private:
    struct BodyInfo {
        uint8_t state = 0;  // 1 while its children are being checked, 2 when done
        int depth = 0;
        uint64_t subtree = 0;
    };

    bool fail(std::string why) {
        error = std::move(why);
        return false;
    }

    // Whether a 0-terminated name starts at `offset`. Every position of a scan is
    // remembered, so that all names together cost one pass over the file.
    bool name_ok(int64_t offset) {
        if (offset < 0 || static_cast<uint64_t>(offset) >= m_size) return false;
        const size_t start = static_cast<size_t>(offset);
        size_t p = start;
        uint8_t result = 0;
        while (result == 0) {
            if (p + 2 > m_size) {
                result = 2;
            } else if (m_name_state[p] != 0) {
                result = m_name_state[p];
            } else if (load_u16(m_data + p) == 0) {
                result = 1;
            } else {
                p += 2;
            }
        }
        for (size_t q = start; q < p; q += 2)
            m_name_state[q] = result;
        if (p < m_size) m_name_state[p] = m_name_state[p] ? m_name_state[p] : result;
        return result == 1;
    }

    bool check_pool() {
        const int32_t pictures = load_i32(m_data + kPictureCountField);
        const int32_t fonts = load_i32(m_data + kFontCountField);
        const int32_t pool = load_i32(m_data + kPoolOffsetField);
        const int32_t texts = load_i32(m_data + kTextCountField);
        if (pictures < 0 || fonts < 0 || texts < 0) return fail("negative count in the header");
        if (pictures > kMaxPictures) return fail("too many pictures");
        if (fonts > kMaxFonts) return fail("too many fonts");
        if (pool < 0 || static_cast<uint64_t>(pool) > m_size)
            return fail("string pool outside the file");
        const int32_t kept_texts = std::min(texts, kMaxTexts);
        const uint64_t total = uint64_t(pictures) + uint64_t(fonts) + uint64_t(kept_texts);
        if (total > (m_size - static_cast<size_t>(pool)) / 2) return fail("string pool cut short");
        m_image.m_pool.reserve(total);
        size_t p = static_cast<size_t>(pool);
        for (uint64_t i = 0; i < total; ++i) {
            m_image.m_pool.push_back(static_cast<uint32_t>(p));
            while (true) {
                if (p + 2 > m_size) return fail("string pool cut short");
                const uint16_t unit = load_u16(m_data + p);
                p += 2;
                if (unit == 0) break;
            }
        }
        m_image.m_picture_count = pictures;
        m_image.m_font_count = fonts;
        m_image.m_text_count = kept_texts;
        return true;
    }

    bool record_ok(int64_t record) {
        return record >= 0 &&
               static_cast<uint64_t>(record) + kRecordSize + kBodyHeaderSize <= m_size;
    }

    // The top-level tree: every record inside the file and visited once, names in order.
    bool check_tree() {
        int32_t current = load_i32(m_data + kRootField);
        if (current != kNoRecord && !record_ok(current))
            return fail("root record outside the file");
        std::vector<int32_t> stack;
        std::unordered_set<int32_t> seen;
        const uint8_t* previous = nullptr;
        while (current != kNoRecord || !stack.empty()) {
            while (current != kNoRecord) {
                if (!record_ok(current)) return fail("tree record outside the file");
                if (!seen.insert(current).second) return fail("tree record reached twice");
                stack.push_back(current);
                current = load_i32(m_data + current);
            }
            const int32_t record = stack.back();
            stack.pop_back();
            const int32_t name = load_i32(m_data + record + 8);
            if (!name_ok(name)) return fail("node name outside the file");
            if (previous && compare_file_names(previous, m_data + name) >= 0) {
                return fail("top-level nodes out of order");
            }
            previous = m_data + name;
            m_top_bodies.push_back(static_cast<uint32_t>(record + kRecordSize));
            current = load_i32(m_data + record + 4);
        }
        return true;
    }

    // One body's own layout: header, table bounds, entries, indexes.
    bool check_layout(int64_t offset) {
        if (offset < 0 || static_cast<uint64_t>(offset) + kBodyHeaderSize > m_size) {
            return fail("node body outside the file");
        }
        const uint8_t* body = m_data + offset;
        const uint64_t room = m_size - static_cast<uint64_t>(offset);
        const uint16_t children = body_bound(body, 7);
        if (kBodyHeaderSize + 4 * uint64_t(children) > room)
            return fail("child list outside the file");
        for (int k = 0; k < kAttributeKinds; ++k) {
            const uint16_t start = body_bound(body, k);
            const uint16_t end = body_bound(body, k + 1);
            if (end < start) return fail("table bounds out of order");
            if (end > room) return fail("table outside the file");
            if ((end - start) % entry_size(static_cast<AttributeKind>(k)) != 0) {
                return fail("table size not a whole number of entries");
            }
        }
        for (int k = 0; k < kAttributeKinds; ++k) {
            const uint16_t start = body_bound(body, k);
            const uint16_t end = body_bound(body, k + 1);
            const auto kind = static_cast<AttributeKind>(k);
            const size_t size = entry_size(kind);
            const uint8_t* previous = nullptr;
            for (size_t e = start; e < end; e += size) {
                const uint8_t* entry = body + e;
                const uint16_t name = load_u16(entry);
                if (!name_ok(name)) return fail("attribute name outside the file");
                if (previous && compare_file_names(previous, m_data + name) >= 0) {
                    return fail("attribute table out of order");
                }
                previous = m_data + name;
                if (!index_ok(kind, entry)) return fail("attribute index out of range");
            }
        }
        return true;
    }

    bool index_ok(AttributeKind kind, const uint8_t* entry) const {
        switch (kind) {
            case AttributeKind::Font: {
                const int32_t index = decode_integer(entry).value;
                return index >= 0 && index < m_image.m_font_count;
            }
            case AttributeKind::String:
                return decode_string(entry).text < m_image.m_text_count;
            case AttributeKind::Picture:
                return decode_picture(entry).picture < m_image.m_picture_count;
            default:
                return true;
        }
    }

    // Every body reachable from the top level, depth first: layouts, no cycles, bounded
    // depth and bounded size when expanded into elements.
    bool check_bodies() {
        struct Frame {
            uint32_t body;
            uint16_t next;
        };
        std::vector<Frame> stack;
        for (uint32_t top : m_top_bodies) {
            if (m_info[top].state == 2) continue;
            if (!enter(top, stack)) return false;
            while (!stack.empty()) {
                Frame& frame = stack.back();
                const uint8_t* body = m_data + frame.body;
                if (frame.next < body_bound(body, 7)) {
                    const int32_t child = load_i32(body + kBodyHeaderSize + 4 * frame.next);
                    ++frame.next;
                    if (child < 0) return fail("node body outside the file");
                    BodyInfo& info = m_info[static_cast<uint32_t>(child)];
                    if (info.state == 1) return fail("child nodes form a cycle");
                    if (info.state == 0) {
                        if (stack.size() >= kMaxDepth) return fail("nodes nested too deeply");
                        if (!enter(static_cast<uint32_t>(child), stack)) return false;
                    }
                    continue;
                }
                if (!leave(frame.body)) return false;
                stack.pop_back();
            }
        }
        return true;
    }

    template <typename Stack>
    bool enter(uint32_t body, Stack& stack) {
        if (!check_layout(body)) return false;
        m_info[body].state = 1;
        stack.push_back({body, 0});
        return true;
    }

    bool leave(uint32_t offset) {
        const uint8_t* body = m_data + offset;
        int depth = 0;
        uint64_t subtree = 1;
        for (uint16_t i = 0; i < body_bound(body, 7); ++i) {
            const BodyInfo& child =
                m_info[static_cast<uint32_t>(load_i32(body + kBodyHeaderSize + 4 * i))];
            depth = std::max(depth, child.depth);
            subtree = std::min(subtree + child.subtree, kMaxSubtree + 1);
        }
        BodyInfo& info = m_info[offset];
        info.state = 2;
        info.depth = depth + 1;
        info.subtree = subtree;
        if (info.depth > kMaxDepth) return fail("nodes nested too deeply");
        if (subtree > kMaxSubtree) return fail("node tree too large");
        return true;
    }

    SkinImage& m_image;
    const uint8_t* m_data;
    size_t m_size;
    std::vector<uint8_t> m_name_state;  // per offset: 0 unknown, 1 a name starts here, 2 none
    std::vector<uint32_t> m_top_bodies;
    std::unordered_map<uint32_t, BodyInfo> m_info;
};

std::unique_ptr<SkinImage> SkinImage::open(std::vector<uint8_t> bytes, std::string* error) {
    if (bytes.size() > kMaxFileBytes) {
        if (error) *error = "larger than a skin can be";
        return nullptr;
    }
    std::unique_ptr<SkinImage> image(new SkinImage(std::move(bytes)));
    Checker checker(*image);
    if (!checker.run()) {
        if (error) *error = checker.error;
        return nullptr;
    }
    return image;
}

std::u16string SkinImage::string_at(uint32_t offset) const {
    std::u16string s;
    for (size_t p = offset; p + 2 <= m_bytes.size(); p += 2) {
        const uint16_t unit = load_u16(m_bytes.data() + p);
        if (unit == 0) break;
        s.push_back(static_cast<char16_t>(unit));
    }
    return s;
}

std::u16string SkinImage::pool_string(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= m_pool.size()) return {};
    return string_at(m_pool[static_cast<size_t>(index)]);
}

NodeHandle SkinImage::find_node(std::u16string_view name) const {
    const uint8_t* data = m_bytes.data();
    int32_t record = load_i32(data + kRootField);
    while (record != kNoRecord) {
        const int c = compare_skin_name(name, data + load_i32(data + record + 8));
        if (c == 0) return NodeHandle(data + record + kRecordSize);
        record = load_i32(data + record + (c < 0 ? 0 : 4));
    }
    return {};
}

void SkinImage::collect(int32_t record,
                        std::vector<std::pair<std::u16string, NodeHandle>>& out) const {
    // In order, without recursion: the tree may be as deep as it has records.
    const uint8_t* data = m_bytes.data();
    std::vector<int32_t> stack;
    while (record != kNoRecord || !stack.empty()) {
        while (record != kNoRecord) {
            stack.push_back(record);
            record = load_i32(data + record);
        }
        record = stack.back();
        stack.pop_back();
        out.emplace_back(string_at(static_cast<uint32_t>(load_i32(data + record + 8))),
                         NodeHandle(data + record + kRecordSize));
        record = load_i32(data + record + 4);
    }
}

std::vector<std::pair<std::u16string, NodeHandle>> SkinImage::top_level_nodes() const {
    std::vector<std::pair<std::u16string, NodeHandle>> out;
    collect(load_i32(m_bytes.data() + kRootField), out);
    return out;
}

int SkinImage::entry_count(NodeHandle node, AttributeKind kind) const {
    if (!node) return 0;
    const int k = static_cast<int>(kind);
    return (body_bound(node.body(), k + 1) - body_bound(node.body(), k)) /
           static_cast<int>(entry_size(kind));
}

const uint8_t* SkinImage::entry(NodeHandle node, AttributeKind kind, int index) const {
    return node.body() + body_bound(node.body(), static_cast<int>(kind)) +
           static_cast<size_t>(index) * entry_size(kind);
}

const uint8_t* SkinImage::find_entry(NodeHandle node, AttributeKind kind,
                                     std::u16string_view name) const {
    if (!node) return nullptr;
    int lo = 0;
    int hi = entry_count(node, kind);
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        const uint8_t* e = entry(node, kind, mid);
        const int c = compare_skin_name(name, m_bytes.data() + load_u16(e));
        if (c == 0) return e;
        if (c < 0) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    return nullptr;
}

std::u16string SkinImage::entry_name(const uint8_t* entry) const {
    return string_at(load_u16(entry));
}

int SkinImage::child_count(NodeHandle node) const {
    return node ? body_bound(node.body(), 7) : 0;
}

NodeHandle SkinImage::child(NodeHandle node, int index) const {
    if (index < 0 || index >= child_count(node)) return {};
    return NodeHandle(m_bytes.data() +
                      load_i32(node.body() + kBodyHeaderSize + 4 * static_cast<size_t>(index)));
}

}  // namespace vistrel
