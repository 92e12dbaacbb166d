#include "heif_boxes.h"

#include <cstring>
#include <optional>
#include <string>

namespace vistrel::test {

namespace {

using Bytes = std::vector<uint8_t>;

uint64_t read_be(const Bytes& b, size_t at, int n) {
    uint64_t v = 0;
    for (int i = 0; i < n; ++i)
        v = (v << 8) | b[at + size_t(i)];
    return v;
}

void write_be(Bytes& b, size_t at, uint64_t v, int n) {
    for (int i = n - 1; i >= 0; --i, v >>= 8)
        b[at + size_t(i)] = uint8_t(v);
}

struct Box {
    std::string type;
    size_t start = 0;  // of its size field
    size_t body = 0;   // after its header
    size_t end = 0;
};

// The boxes from `begin` to `end`; nothing when one of them does not fit.
std::optional<std::vector<Box>> boxes_in(const Bytes& b, size_t begin, size_t end) {
    std::vector<Box> boxes;
    for (size_t at = begin; at < end;) {
        if (end - at < 8) return std::nullopt;
        uint64_t size = read_be(b, at, 4);
        size_t header = 8;
        if (size == 1) {
            if (end - at < 16) return std::nullopt;
            size = read_be(b, at + 8, 8);
            header = 16;
        } else if (size == 0) {
            size = end - at;
        }
        if (size < header || size > end - at) return std::nullopt;
        boxes.push_back({std::string(b.begin() + long(at + 4), b.begin() + long(at + 8)), at,
                         at + header, at + size_t(size)});
        at += size_t(size);
    }
    return boxes;
}

const Box* find(const std::vector<Box>& boxes, const char* type) {
    for (const Box& box : boxes)
        if (box.type == type) return &box;
    return nullptr;
}

// A box of `type` around `body` (a plain 32-bit size).
Bytes box_of(const char* type, const Bytes& body) {
    Bytes out(8);
    write_be(out, 0, body.size() + 8, 4);
    std::memcpy(out.data() + 4, type, 4);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes slice(const Bytes& b, size_t from, size_t to) {
    return Bytes(b.begin() + long(from), b.begin() + long(to));
}

// `ipma` with an essential association of the primary item to property `index` added.
std::optional<Bytes> with_association(const Bytes& b, const Box& ipma, uint32_t item, uint32_t index) {
    Bytes body = slice(b, ipma.body, ipma.end);
    if (body.size() < 8) return std::nullopt;
    const int version = body[0];
    const bool wide_index = (body[3] & 1) != 0;
    if (!wide_index && index > 127) return std::nullopt;
    const uint64_t entries = read_be(body, 4, 4);
    const int id_bytes = version < 1 ? 2 : 4;
    size_t at = 8;
    for (uint64_t e = 0; e < entries; ++e) {
        if (at + size_t(id_bytes) + 1 > body.size()) return std::nullopt;
        const uint64_t id = read_be(body, at, id_bytes);
        const size_t count_at = at + size_t(id_bytes);
        const int count = body[count_at];
        const size_t each = wide_index ? 2 : 1;
        const size_t after = count_at + 1 + size_t(count) * each;
        if (after > body.size()) return std::nullopt;
        if (id == item) {
            if (count == 255) return std::nullopt;
            body[count_at] = uint8_t(count + 1);
            Bytes association(each);
            write_be(association, 0, (wide_index ? 0x8000u : 0x80u) | index, int(each));
            body.insert(body.begin() + long(after), association.begin(), association.end());
            return box_of("ipma", body);
        }
        at = after;
    }
    return std::nullopt;
}

// Moves every file offset of `iloc` at or past `from` on by `delta`, in place.
bool shift_locations(Bytes& b, const Box& iloc, uint64_t from, int64_t delta) {
    size_t at = iloc.body;
    auto need = [&](size_t n) { return at + n <= iloc.end; };
    if (!need(6)) return false;
    const int version = b[at];
    at += 4;
    const int offset_size = b[at] >> 4, length_size = b[at] & 15;
    const int base_size = b[at + 1] >> 4, index_size = version >= 1 ? (b[at + 1] & 15) : 0;
    at += 2;
    const int count_size = version < 2 ? 2 : 4;
    if (!need(size_t(count_size))) return false;
    const uint64_t items = read_be(b, at, count_size);
    at += size_t(count_size);
    auto shift = [&](size_t field, int size) {
        const uint64_t v = read_be(b, field, size);
        if (size > 0 && v >= from) write_be(b, field, uint64_t(int64_t(v) + delta), size);
    };
    for (uint64_t i = 0; i < items; ++i) {
        const size_t id_size = version < 2 ? 2 : 4;
        if (!need(id_size)) return false;
        at += id_size;
        int method = 0;
        if (version >= 1) {
            if (!need(2)) return false;
            method = b[at + 1] & 15;
            at += 2;
        }
        if (!need(2 + size_t(base_size) + 2)) return false;
        at += 2;  // data reference index
        const size_t base_at = at;
        const uint64_t base = read_be(b, at, base_size);
        at += size_t(base_size);
        const uint64_t extents = read_be(b, at, 2);
        at += 2;
        if (method == 0 && base_size > 0 && base > 0) shift(base_at, base_size);
        for (uint64_t e = 0; e < extents; ++e) {
            if (!need(size_t(index_size + offset_size + length_size))) return false;
            at += size_t(index_size);
            if (method == 0 && (base_size == 0 || base == 0)) {
                if (offset_size == 0) return false;
                shift(at, offset_size);
            }
            at += size_t(offset_size + length_size);
        }
    }
    return true;
}

Bytes with_property(const Bytes& b, const Bytes& property) {
    const auto top = boxes_in(b, 0, b.size());
    if (!top) return {};
    const Box* meta = find(*top, "meta");
    if (!meta || meta->body + 4 > meta->end) return {};
    const auto in_meta = boxes_in(b, meta->body + 4, meta->end);
    if (!in_meta) return {};
    const Box* pitm = find(*in_meta, "pitm");
    const Box* iprp = find(*in_meta, "iprp");
    const Box* iloc = find(*in_meta, "iloc");
    if (!pitm || !iprp || !iloc || pitm->body + 6 > pitm->end) return {};
    const uint32_t item = uint32_t(read_be(b, pitm->body + 4, b[pitm->body] == 0 ? 2 : 4));
    const auto in_iprp = boxes_in(b, iprp->body, iprp->end);
    if (!in_iprp) return {};
    const Box* ipco = find(*in_iprp, "ipco");
    const Box* ipma = find(*in_iprp, "ipma");
    if (!ipco || !ipma) return {};
    const auto properties = boxes_in(b, ipco->body, ipco->end);
    if (!properties) return {};
    Bytes ipco_body = slice(b, ipco->body, ipco->end);
    ipco_body.insert(ipco_body.end(), property.begin(), property.end());
    const auto new_ipma = with_association(b, *ipma, item, uint32_t(properties->size() + 1));
    if (!new_ipma) return {};
    Bytes iprp_body;
    for (const Box& box : *in_iprp) {
        const Bytes part = &box == ipco ? box_of("ipco", ipco_body)
                           : &box == ipma ? *new_ipma
                                          : slice(b, box.start, box.end);
        iprp_body.insert(iprp_body.end(), part.begin(), part.end());
    }
    const Bytes new_iprp = box_of("iprp", iprp_body);
    const int64_t delta = int64_t(new_iprp.size()) - int64_t(iprp->end - iprp->start);
    Bytes meta_body = slice(b, meta->body, meta->body + 4);
    size_t iloc_at = 0;
    for (const Box& box : *in_meta) {
        if (&box == iloc) iloc_at = meta_body.size();
        const Bytes part = &box == iprp ? new_iprp : slice(b, box.start, box.end);
        meta_body.insert(meta_body.end(), part.begin(), part.end());
    }
    Bytes out = slice(b, 0, meta->start);
    const size_t meta_at = out.size();
    const Bytes new_meta = box_of("meta", meta_body);
    out.insert(out.end(), new_meta.begin(), new_meta.end());
    out.insert(out.end(), b.begin() + long(meta->end), b.end());
    // The data after the meta box moved by the growth of iprp.
    Box moved = *iloc;
    moved.start = meta_at + 8 + iloc_at;
    moved.body = moved.start + (iloc->body - iloc->start);
    moved.end = moved.start + (iloc->end - iloc->start);
    if (!shift_locations(out, moved, meta->end, delta)) return {};
    return out;
}

}  // namespace

std::vector<uint8_t> with_heif_rotation(const std::vector<uint8_t>& heif, int quarter_turns) {
    return with_property(heif, box_of("irot", {uint8_t(quarter_turns & 3)}));
}

std::vector<uint8_t> with_heif_mirror(const std::vector<uint8_t>& heif, int axis) {
    return with_property(heif, box_of("imir", {uint8_t(axis & 1)}));
}

}  // namespace vistrel::test
