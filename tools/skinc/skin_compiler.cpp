#include "skinc/skin_compiler.h"

#include <algorithm>
#include <map>
#include <set>

#include "platform/text.h"

namespace vistrel::skinc {

using namespace skin_format;

namespace {

constexpr size_t kNameLimit = 65536;  // attribute names are reached through 16-bit offsets

size_t align4(size_t n) {
    return (n + 3) & ~size_t(3);
}

class Compiler {
public:
    explicit Compiler(const SkinSource& source) : m_source(source) {}

    bool run(std::vector<uint8_t>& out) {
        if (!collect()) return false;
        m_out.assign(kHeaderSize, 0);
        for (int i = 0; i < 4; ++i)
            store_u16(&m_out[2 * i], kMagic[i]);

        // Attribute names first, within the first 64 KiB, then the other names.
        for (const auto& name : m_attribute_names)
            m_name_offsets[name] = append_string(name);
        if (m_out.size() > kNameLimit)
            return fail("attribute names do not fit into the first 64 KiB");
        for (const SourceNode& node : m_sorted) {
            if (!m_name_offsets.count(node.name))
                m_name_offsets[node.name] = append_string(node.name);
        }
        // The string pool.
        const size_t pool = m_out.size();
        for (const auto& p : m_source.pictures)
            append_string(p);
        for (const auto& f : m_fonts)
            append_string(f.first);
        for (const auto& t : m_texts)
            append_string(t.first);
        store_i32(&m_out[kPictureCountField], static_cast<int32_t>(m_source.pictures.size()));
        store_i32(&m_out[kFontCountField], static_cast<int32_t>(m_fonts.size()));
        store_i32(&m_out[kPoolOffsetField], static_cast<int32_t>(pool));
        store_i32(&m_out[kTextCountField], static_cast<int32_t>(m_texts.size()));

        // Records with their bodies and their descendants' bodies, in name order.
        std::vector<size_t> records;
        for (const SourceNode& node : m_sorted) {
            m_out.resize(align4(m_out.size()), 0);
            const size_t record = m_out.size();
            records.push_back(record);
            m_out.resize(record + kRecordSize, 0);
            store_i32(&m_out[record + 8], static_cast<int32_t>(m_name_offsets[node.name]));
            if (!write_tree(node)) return false;
        }
        const int32_t root = link(records, 0, records.size());
        store_i32(&m_out[kRootField], root);
        if (m_out.size() > SkinImage::kMaxFileBytes) return fail("the skin is too large");
        out = std::move(m_out);
        return true;
    }

    std::string error;

private:
    bool fail(const std::string& what) {
        if (error.empty()) error = what;
        return false;
    }
    bool fail_at(const SourceNode& node, const std::string& what) {
        return fail("line " + std::to_string(node.line) + ": " + what);
    }

    size_t append_string(const std::u16string& s) {
        const size_t at = m_out.size();
        m_out.resize(at + 2 * (s.size() + 1), 0);
        for (size_t i = 0; i < s.size(); ++i)
            store_u16(&m_out[at + 2 * i], s[i]);
        return at;
    }

    bool check_text(const SourceNode& node, const std::u16string& text, const char* what) {
        if (text.find(u'\0') != std::u16string::npos) {
            return fail_at(node, std::string(what) + " contains a zero character");
        }
        return true;
    }

    // Names, fonts, texts and picture references of a node and its descendants.
    bool collect_node(const SourceNode& node) {
        std::set<std::pair<int, std::u16string>> seen;
        for (const Attribute& a : node.attributes) {
            if (!check_text(node, a.name, "an attribute name")) return false;
            if (!seen.insert({static_cast<int>(a.kind), a.name}).second) {
                return fail_at(node, std::string("repeated ") + kind_keyword(a.kind) +
                                         " attribute \"" + to_utf8(a.name) + "\"");
            }
            m_attribute_names.insert(a.name);
            if (a.kind == AttributeKind::Font) {
                if (!check_text(node, a.text, "a font")) return false;
                m_fonts.emplace(a.text, 0);
            } else if (a.kind == AttributeKind::String) {
                if (!check_text(node, a.text, "a string")) return false;
                m_texts.emplace(a.text, 0);
            } else if (a.kind == AttributeKind::Picture && !m_pictures.count(a.picture.picture)) {
                return fail_at(node,
                               "picture \"" + to_utf8(a.picture.picture) + "\" is not declared");
            }
        }
        for (const SourceNode& child : node.children) {
            if (!collect_node(child)) return false;
        }
        return true;
    }

    bool collect() {
        if (m_source.pictures.size() > static_cast<size_t>(SkinImage::kMaxPictures))
            return fail("more than 256 pictures");
        for (size_t i = 0; i < m_source.pictures.size(); ++i) {
            const auto& name = m_source.pictures[i];
            if (name.empty() || name.find(u'\0') != std::u16string::npos)
                return fail("a picture name is empty or contains a zero character");
            if (!m_pictures.emplace(name, static_cast<int>(i)).second) {
                return fail("picture \"" + to_utf8(name) + "\" is declared twice");
            }
        }
        std::set<std::u16string> top_names;
        for (const SourceNode& node : m_source.nodes) {
            if (!check_text(node, node.name, "a node name")) return false;
            if (!top_names.insert(node.name).second) {
                return fail_at(node, "node \"" + to_utf8(node.name) + "\" is defined twice");
            }
            if (!collect_node(node)) return false;
        }
        if (m_fonts.size() > static_cast<size_t>(SkinImage::kMaxFonts))
            return fail("more than 1024 fonts");
        if (m_texts.size() > 65536) return fail("more than 65536 strings");
        int index = 0;
        for (auto& f : m_fonts)
            f.second = index++;
        index = 0;
        for (auto& t : m_texts)
            t.second = index++;
        m_sorted = m_source.nodes;
        std::sort(m_sorted.begin(), m_sorted.end(),
                  [](const SourceNode& a, const SourceNode& b) { return a.name < b.name; });
        return true;
    }

    // Bytes of one body: header, child list, tables.
    size_t body_size(const SourceNode& node) const {
        size_t size = kBodyHeaderSize + 4 * node.children.size();
        for (const Attribute& a : node.attributes)
            size += entry_size(a.kind);
        return size;
    }

    // Lays out the bodies of `node` and its descendants in pre-order from the current end.
    bool write_tree(const SourceNode& node) {
        const size_t body = m_out.size();
        const size_t size = body_size(node);
        if (size > 0xFFFF)
            return fail_at(node, "node too large (its tables must end within 64 KiB)");
        if (node.children.size() > 0xFFFF) return fail_at(node, "too many children");
        m_out.resize(body + size, 0);
        write_tables(node, body);
        for (size_t i = 0; i < node.children.size(); ++i) {
            m_out.resize(align4(m_out.size()), 0);
            store_i32(&m_out[body + kBodyHeaderSize + 4 * i], static_cast<int32_t>(m_out.size()));
            if (!write_tree(node.children[i])) return false;
        }
        return true;
    }

    void write_tables(const SourceNode& node, size_t body) {
        std::vector<const Attribute*> sorted;
        for (const Attribute& a : node.attributes)
            sorted.push_back(&a);
        std::sort(sorted.begin(), sorted.end(), [](const Attribute* a, const Attribute* b) {
            return a->kind != b->kind ? a->kind < b->kind : a->name < b->name;
        });
        size_t at = kBodyHeaderSize + 4 * node.children.size();
        size_t s = 0;
        for (int k = 0; k <= kAttributeKinds; ++k) {
            while (s < sorted.size() && static_cast<int>(sorted[s]->kind) < k) {
                write_entry(*sorted[s], &m_out[body + at]);
                at += entry_size(sorted[s]->kind);
                ++s;
            }
            store_u16(&m_out[body + 2 * k], static_cast<uint16_t>(at));
        }
        store_u16(&m_out[body + 14], static_cast<uint16_t>(node.children.size()));
    }

    void write_entry(const Attribute& a, uint8_t* p) {
        store_u16(p, static_cast<uint16_t>(m_name_offsets.at(a.name)));
        switch (a.kind) {
            case AttributeKind::Integer:
                store_i32(p + 4, a.integer);
                break;
            case AttributeKind::Font:
                store_i32(p + 4, m_fonts.at(a.text));
                break;
            case AttributeKind::Point:
                store_u16(p + 4, static_cast<uint16_t>(a.x));
                store_u16(p + 6, static_cast<uint16_t>(a.y));
                break;
            case AttributeKind::String:
                store_u16(p + 2, static_cast<uint16_t>(m_texts.at(a.text)));
                break;
            case AttributeKind::Picture:
                for (int i = 0; i < 8; ++i)
                    store_u16(p + 2 + 2 * i, a.picture.coords[i]);
                p[18] = static_cast<uint8_t>(m_pictures.at(a.picture.picture));
                p[19] = a.picture.flag;
                break;
            case AttributeKind::Colour:
                p[4] = a.red;
                p[5] = a.green;
                p[6] = a.blue;
                p[7] = 255;
                break;
        }
    }

    // Links records[lo, hi) into a balanced search tree; returns its root's offset.
    int32_t link(const std::vector<size_t>& records, size_t lo, size_t hi) {
        if (lo >= hi) return kNoRecord;
        const size_t mid = lo + (hi - lo) / 2;
        const size_t record = records[mid];
        store_i32(&m_out[record], link(records, lo, mid));
        store_i32(&m_out[record + 4], link(records, mid + 1, hi));
        return static_cast<int32_t>(record);
    }

    const SkinSource& m_source;
    std::vector<uint8_t> m_out;
    std::set<std::u16string> m_attribute_names;
    std::map<std::u16string, size_t> m_name_offsets;
    std::map<std::u16string, int> m_pictures;
    std::map<std::u16string, int> m_fonts;
    std::map<std::u16string, int> m_texts;
    std::vector<SourceNode> m_sorted;
};

}  // namespace

bool compile_skin(const SkinSource& source, std::vector<uint8_t>& out, std::string& error) {
    Compiler compiler(source);
    if (!compiler.run(out)) {
        error = compiler.error;
        return false;
    }
    return true;
}

}  // namespace vistrel::skinc
