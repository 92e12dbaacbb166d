#include "library/cache/picture_facts.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "library/cache/cache_file.h"
#include "platform/text.h"

namespace vistrel {

namespace {

constexpr size_t kMaxScanBytes = 8u << 20;  // metadata lies before this much of the file
constexpr int kMaxSegments = 256;
constexpr int kMaxDirectoryEntries = 512;
constexpr size_t kMaxCaptionChars = 200;

// Captions cameras write by themselves: they say nothing of the picture.
constexpr std::array<std::u16string_view, 9> kCameraCaptions = {
    u"OLYMPUS DIGITAL CAMERA", u"SONY DSC", u"DIGITAL CAMERA", u"KONICA MINOLTA DIGITAL CAMERA",
    u"DCIM", u"Untitled", u"default", u"Image", u"Description"};

// A TIFF structure inside an EXIF segment, every read bounds-checked.
class Tiff {
public:
    explicit Tiff(std::string_view bytes) : m_bytes(bytes) {
        if (bytes.size() < 8) return;
        if (bytes.substr(0, 2) == "II")
            m_little = true;
        else if (bytes.substr(0, 2) != "MM")
            return;
        m_ok = u16(2) == 42;
    }
    bool ok() const { return m_ok; }
    uint32_t first_directory() const { return u32(4); }

    // The ASCII value of `tag` in the directory at `offset`; empty when absent or bad.
    std::string_view text(uint32_t offset, uint16_t tag) const {
        uint32_t type = 0, count = 0, value_at = 0;
        if (!find(offset, tag, type, count, value_at) || type != 2 || count == 0) return {};
        const uint32_t at = count <= 4 ? value_at : u32(value_at);
        if (at > m_bytes.size() || count > m_bytes.size() - at) return {};
        std::string_view value = m_bytes.substr(at, count);
        return value.substr(0, value.find('\0'));
    }
    // The LONG (or SHORT) value of `tag`; 0 when absent.
    uint32_t number(uint32_t offset, uint16_t tag) const {
        uint32_t type = 0, count = 0, value_at = 0;
        if (!find(offset, tag, type, count, value_at) || count != 1) return 0;
        return type == 4 ? u32(value_at) : type == 3 ? u16(value_at) : 0;
    }

private:
    bool find(uint32_t offset, uint16_t tag, uint32_t& type, uint32_t& count,
              uint32_t& value_at) const {
        if (!m_ok || offset < 8 || offset > m_bytes.size() || m_bytes.size() - offset < 2)
            return false;
        const int entries = std::min<int>(u16(offset), kMaxDirectoryEntries);
        for (int i = 0; i < entries; ++i) {
            const uint64_t at = uint64_t(offset) + 2 + uint64_t(i) * 12;
            if (at + 12 > m_bytes.size()) return false;
            if (u16(uint32_t(at)) != tag) continue;
            type = u16(uint32_t(at + 2));
            count = u32(uint32_t(at + 4));
            value_at = uint32_t(at + 8);
            return true;
        }
        return false;
    }
    uint32_t byte(uint32_t at) const { return at < m_bytes.size() ? uint8_t(m_bytes[at]) : 0; }
    uint32_t u16(uint32_t at) const {
        return m_little ? byte(at) | byte(at + 1) << 8 : byte(at) << 8 | byte(at + 1);
    }
    uint32_t u32(uint32_t at) const {
        return m_little ? u16(at) | u16(at + 2) << 16 : u16(at) << 16 | u16(at + 2);
    }

    std::string_view m_bytes;
    bool m_little = false;
    bool m_ok = false;
};

void read_exif(std::string_view tiff_bytes, PictureFacts& facts, std::u16string& caption) {
    const Tiff tiff(tiff_bytes);
    if (!tiff.ok()) return;
    const uint32_t first = tiff.first_directory();
    caption = clean_caption(tiff.text(first, 0x010E));
    if (const uint32_t exif = tiff.number(first, 0x8769))
        facts.taken = parse_exif_date(tiff.text(exif, 0x9003));
}

// The text with the XML entities it may hold undone.
std::string xml_text(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out += text[i];
            continue;
        }
        const size_t end = text.find(';', i);
        if (end == std::string_view::npos || end - i > 10) {
            out += '&';
            continue;
        }
        const std::string_view name = text.substr(i + 1, end - i - 1);
        static constexpr std::pair<std::string_view, char> kNamed[] = {
            {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
        bool known = false;
        for (const auto& [entity, c] : kNamed)
            if (name == entity) {
                out += c;
                known = true;
            }
        if (!known && name.size() > 1 && name[0] == '#') {
            uint32_t code = 0;
            const bool hexadecimal = name[1] == 'x';
            for (char c : name.substr(hexadecimal ? 2 : 1)) {
                const int digit = c >= '0' && c <= '9'   ? c - '0'
                                  : hexadecimal && c >= 'a' && c <= 'f' ? c - 'a' + 10
                                  : hexadecimal && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                                        : -1;
                if (digit < 0 || code > 0x10FFFF) {
                    code = 0xFFFD;
                    break;
                }
                code = code * (hexadecimal ? 16 : 10) + uint32_t(digit);
            }
            std::u16string one;
            if (code >= 0x10000 && code <= 0x10FFFF) {
                one += char16_t(0xD800 + ((code - 0x10000) >> 10));
                one += char16_t(0xDC00 + ((code - 0x10000) & 0x3FF));
            } else if (code > 0 && code < 0x10000 && (code < 0xD800 || code > 0xDFFF)) {
                one += char16_t(code);
            }
            out += to_utf8(one);
            known = true;
        }
        if (!known) {
            out += '&';
            continue;
        }
        i = end;
    }
    return out;
}

// dc:description of an XMP packet: its first alternative, or the attribute form.
std::u16string read_xmp(std::string_view xml) {
    const size_t at = xml.find("dc:description");
    if (at == std::string_view::npos) return {};
    std::string_view rest = xml.substr(at + 14);
    if (rest.substr(0, 2) == "=\"") {
        rest = rest.substr(2);
        return clean_caption(xml_text(rest.substr(0, rest.find('"'))));
    }
    const size_t item = rest.find("<rdf:li");
    const size_t close = rest.find("</dc:description");
    if (item == std::string_view::npos || (close != std::string_view::npos && item > close))
        return {};
    rest = rest.substr(item);
    const size_t begin = rest.find('>');
    if (begin == std::string_view::npos) return {};
    rest = rest.substr(begin + 1);
    return clean_caption(xml_text(rest.substr(0, rest.find("</rdf:li"))));
}

// The caption record (2:120) of an IPTC block inside Photoshop resources.
std::u16string read_iptc(std::string_view resources) {
    size_t at = 0;
    while (at + 12 <= resources.size() && resources.substr(at, 4) == "8BIM") {
        const uint32_t id = uint8_t(resources[at + 4]) << 8 | uint8_t(resources[at + 5]);
        const size_t name_length = uint8_t(resources[at + 6]);
        size_t data = at + 6 + ((name_length + 2) & ~size_t(1));
        if (data + 4 > resources.size()) return {};
        const size_t size = size_t(uint8_t(resources[data])) << 24 |
                            size_t(uint8_t(resources[data + 1])) << 16 |
                            size_t(uint8_t(resources[data + 2])) << 8 | uint8_t(resources[data + 3]);
        data += 4;
        if (size > resources.size() - data) return {};
        if (id == 0x0404) {
            const std::string_view iptc = resources.substr(data, size);
            for (size_t r = 0; r + 5 <= iptc.size() && iptc[r] == 0x1C;) {
                const int record = uint8_t(iptc[r + 1]), dataset = uint8_t(iptc[r + 2]);
                const size_t length = size_t(uint8_t(iptc[r + 3])) << 8 | uint8_t(iptc[r + 4]);
                if (length & 0x8000) return {};  // extended lengths do not hold captions
                if (length > iptc.size() - r - 5) return {};
                if (record == 2 && dataset == 120) return clean_caption(iptc.substr(r + 5, length));
                r += 5 + length;
            }
            return {};
        }
        at = data + size + (size & 1);
    }
    return {};
}

bool is_camera_caption(const std::u16string& caption) {
    const std::u16string lower = to_lower(caption);
    for (std::u16string_view text : kCameraCaptions)
        if (lower == to_lower(text)) return true;
    return false;
}

bool read_exact(InputStream& stream, void* buffer, size_t count) {
    return stream.read(buffer, count) == count;
}

}  // namespace

std::optional<TakenDate> parse_exif_date(std::string_view text) {
    // "YYYY:MM:DD HH:MM:SS"; '-' is also met between the date's numbers.
    if (text.size() < 19) return std::nullopt;
    auto number = [&](size_t at, size_t digits, int& out) {
        out = 0;
        for (size_t i = at; i < at + digits; ++i) {
            if (text[i] < '0' || text[i] > '9') return false;
            out = out * 10 + (text[i] - '0');
        }
        return true;
    };
    TakenDate d;
    if (!number(0, 4, d.year) || !number(5, 2, d.month) || !number(8, 2, d.day) ||
        !number(11, 2, d.hour) || !number(14, 2, d.minute) || !number(17, 2, d.second))
        return std::nullopt;
    for (size_t at : {4, 7})
        if (text[at] != ':' && text[at] != '-') return std::nullopt;
    if (text[13] != ':' || text[16] != ':') return std::nullopt;
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (d.year < 1 || d.month < 1 || d.month > 12 || d.day < 1 || d.day > kDays[d.month - 1] ||
        d.hour > 23 || d.minute > 59 || d.second > 60)
        return std::nullopt;
    const bool leap = (d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0;
    if (d.month == 2 && d.day == 29 && !leap) return std::nullopt;
    return d;
}

std::u16string clean_caption(std::string_view bytes) {
    bytes = bytes.substr(0, bytes.find('\0'));
    bool ok = true;
    std::u16string text = from_utf8(bytes, &ok);
    if (!ok) {
        text.clear();
        for (unsigned char c : bytes) text.push_back(char16_t(c));  // Latin-1
    }
    std::u16string out;
    bool meaningful = false;
    for (char16_t c : text) {
        const bool blank = c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0) || c == u' ' ||
                           c == 0xFEFF || c == 0xFFFD;
        if (blank) {
            if (!out.empty() && out.back() != u' ') out.push_back(u' ');
            continue;
        }
        if (out.size() >= kMaxCaptionChars) {
            // Not between the halves of a surrogate pair.
            if (!out.empty() && out.back() >= 0xD800 && out.back() < 0xDC00) out.pop_back();
            out += u"\u2026";
            break;
        }
        out.push_back(c);
        const bool punctuation = c < 0x80 && !((c >= u'0' && c <= u'9') ||
                                               (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'));
        meaningful = meaningful || !punctuation;
    }
    while (!out.empty() && out.back() == u' ') out.pop_back();
    if (!meaningful || is_camera_caption(out)) return {};
    return out;
}

std::vector<uint8_t> PictureFacts::entry() const {
    std::vector<uint8_t> out = {1, uint8_t(taken ? 1 : 0)};
    const TakenDate d = taken.value_or(TakenDate{});
    out.push_back(uint8_t(d.year & 0xFF));
    out.push_back(uint8_t(d.year >> 8));
    for (int v : {d.month, d.day, d.hour, d.minute, d.second}) out.push_back(uint8_t(v));
    std::string text = to_utf8(caption);
    if (text.size() > kMaxCaptionBytes) text.clear();
    out.push_back(uint8_t(text.size() & 0xFF));
    out.push_back(uint8_t(text.size() >> 8));
    out.insert(out.end(), text.begin(), text.end());
    return out;
}

std::optional<PictureFacts> PictureFacts::from_entry(const std::vector<uint8_t>& bytes) {
    if (bytes.size() < 11 || bytes[0] != 1 || bytes[1] > 1) return std::nullopt;
    const size_t length = size_t(bytes[9]) | size_t(bytes[10]) << 8;
    if (length > kMaxCaptionBytes || bytes.size() != 11 + length) return std::nullopt;
    PictureFacts facts;
    if (bytes[1] == 1) {
        char text[24];
        std::snprintf(text, sizeof text, "%04d:%02d:%02d %02d:%02d:%02d",
                      int(bytes[2] | bytes[3] << 8), bytes[4], bytes[5], bytes[6], bytes[7],
                      bytes[8]);
        facts.taken = parse_exif_date(text);
        if (!facts.taken) return std::nullopt;
    }
    const std::string_view caption(reinterpret_cast<const char*>(bytes.data()) + 11, length);
    bool ok = true;
    facts.caption = from_utf8(caption, &ok);
    if (!ok) return std::nullopt;
    return facts;
}

PictureFacts read_picture_facts(InputStream& stream) {
    PictureFacts facts;
    std::u16string exif_caption, xmp_caption, iptc_caption;
    uint8_t marker[2];
    if (!stream.seek(0) || !read_exact(stream, marker, 2) || marker[0] != 0xFF || marker[1] != 0xD8)
        return facts;
    for (int segment = 0; segment < kMaxSegments && stream.position() < kMaxScanBytes; ++segment) {
        if (!read_exact(stream, marker, 2) || marker[0] != 0xFF) break;
        if (marker[1] == 0xFF) {  // fill byte
            stream.seek(stream.position() - 1);
            continue;
        }
        if (marker[1] == 0xDA || marker[1] == 0xD9) break;  // the image data begins
        if (marker[1] == 0x01 || (marker[1] >= 0xD0 && marker[1] <= 0xD7)) continue;
        uint8_t length_bytes[2];
        if (!read_exact(stream, length_bytes, 2)) break;
        const size_t length = size_t(length_bytes[0]) << 8 | length_bytes[1];
        if (length < 2) break;
        if (marker[1] != 0xE1 && marker[1] != 0xED) {
            if (stream.skip(length - 2) != length - 2) break;
            continue;
        }
        std::string payload(length - 2, '\0');
        if (!read_exact(stream, payload.data(), payload.size())) break;
        const std::string_view p = payload;
        constexpr std::string_view kExif("Exif\0\0", 6);
        constexpr std::string_view kXmp("http://ns.adobe.com/xap/1.0/\0", 29);
        constexpr std::string_view kPhotoshop("Photoshop 3.0\0", 14);
        if (p.substr(0, kExif.size()) == kExif && !facts.taken && exif_caption.empty())
            read_exif(p.substr(kExif.size()), facts, exif_caption);
        else if (p.substr(0, kXmp.size()) == kXmp && xmp_caption.empty())
            xmp_caption = read_xmp(p.substr(kXmp.size()));
        else if (p.substr(0, kPhotoshop.size()) == kPhotoshop && iptc_caption.empty())
            iptc_caption = read_iptc(p.substr(kPhotoshop.size()));
    }
    facts.caption = !exif_caption.empty() ? exif_caption
                    : !xmp_caption.empty() ? xmp_caption
                                           : iptc_caption;
    return facts;
}

std::optional<PictureFacts> read_cached_facts(const std::u16string& cache_file) {
    const std::optional<std::vector<uint8_t>> entry = read_cache_entry(cache_file, kCacheFactsTag);
    if (!entry) return std::nullopt;
    return PictureFacts::from_entry(*entry);
}

}  // namespace vistrel
