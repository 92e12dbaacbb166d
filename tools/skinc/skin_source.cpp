#include "skinc/skin_source.h"

#include <cstdio>
#include <functional>

#include "platform/text.h"

namespace vistrel::skinc {

using skin_format::AttributeKind;

const char* kind_keyword(AttributeKind kind) {
    switch (kind) {
        case AttributeKind::Integer:
            return "int";
        case AttributeKind::Font:
            return "font";
        case AttributeKind::Point:
            return "point";
        case AttributeKind::String:
            return "string";
        case AttributeKind::Picture:
            return "picture";
        case AttributeKind::Colour:
            return "color";
    }
    return "?";
}

namespace {

constexpr int kMaxNesting = 256;

struct Token {
    enum Type { End, Word, Quoted, Open, Close } type = End;
    std::u16string text;
    int line = 0;
};

class Lexer {
public:
    explicit Lexer(const std::string& text) : m_text(text) {}

    // The next token; false with `error` set on a malformed one.
    bool next(Token& token, std::string& error) {
        skip_space_and_comments();
        token = Token{};
        token.line = m_line;
        if (m_pos >= m_text.size()) return true;
        const char c = m_text[m_pos];
        if (c == '{' || c == '}') {
            token.type = c == '{' ? Token::Open : Token::Close;
            ++m_pos;
            return true;
        }
        if (c == '"') return quoted(token, error);
        const size_t start = m_pos;
        while (m_pos < m_text.size() && !is_space(m_text[m_pos]) && m_text[m_pos] != '{' &&
               m_text[m_pos] != '}' && m_text[m_pos] != '"')
            ++m_pos;
        token.type = Token::Word;
        bool ok = true;
        token.text = from_utf8(std::string_view(m_text).substr(start, m_pos - start), &ok);
        if (!ok) error = "line " + std::to_string(m_line) + ": text is not UTF-8";
        return ok;
    }

private:
    static bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

    void skip_space_and_comments() {
        while (m_pos < m_text.size()) {
            const char c = m_text[m_pos];
            if (c == '\n') {
                ++m_line;
                ++m_pos;
            } else if (is_space(c)) {
                ++m_pos;
            } else if (c == '/' && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == '/') {
                while (m_pos < m_text.size() && m_text[m_pos] != '\n')
                    ++m_pos;
            } else {
                break;
            }
        }
    }

    bool quoted(Token& token, std::string& error) {
        token.type = Token::Quoted;
        ++m_pos;
        std::string run;  // UTF-8 since the last escape
        auto flush = [&]() {
            bool ok = true;
            token.text += from_utf8(run, &ok);
            run.clear();
            return ok;
        };
        while (true) {
            if (m_pos >= m_text.size() || m_text[m_pos] == '\n') {
                error = "line " + std::to_string(token.line) + ": unterminated string";
                return false;
            }
            const char c = m_text[m_pos++];
            if (c == '"') break;
            if (c != '\\') {
                run += c;
                continue;
            }
            if (m_pos >= m_text.size()) continue;
            const char e = m_text[m_pos++];
            if (e == 'n' || e == 'r' || e == 't') {
                run += e == 'n' ? '\n' : e == 'r' ? '\r' : '\t';
            } else if (e == '\\' || e == '"') {
                run += e;
            } else if (e == 'u' && m_pos + 4 <= m_text.size()) {
                unsigned value = 0;
                for (int i = 0; i < 4; ++i) {
                    const char h = m_text[m_pos + i];
                    const int digit = h >= '0' && h <= '9'   ? h - '0'
                                      : h >= 'a' && h <= 'f' ? h - 'a' + 10
                                      : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                                             : -1;
                    if (digit < 0) {
                        error = "line " + std::to_string(m_line) + ": bad \\u escape";
                        return false;
                    }
                    value = value * 16 + static_cast<unsigned>(digit);
                }
                m_pos += 4;
                if (!flush()) {
                    error = "line " + std::to_string(token.line) + ": text is not UTF-8";
                    return false;
                }
                token.text += static_cast<char16_t>(value);
            } else {
                error =
                    "line " + std::to_string(m_line) + ": unknown escape \\" + std::string(1, e);
                return false;
            }
        }
        if (!flush()) {
            error = "line " + std::to_string(token.line) + ": text is not UTF-8";
            return false;
        }
        return true;
    }

    const std::string& m_text;
    size_t m_pos = 0;
    int m_line = 1;
};

class Parser {
public:
    explicit Parser(const std::string& text) : m_lexer(text) {}

    bool parse(SkinSource& out) {
        if (!advance()) return false;
        while (m_token.type != Token::End) {
            std::u16string keyword;
            if (!word(keyword)) return false;
            if (keyword == u"picture") {
                std::u16string name;
                if (!value(name)) return false;
                out.pictures.push_back(std::move(name));
            } else if (keyword == u"node") {
                SourceNode node;
                node.line = m_token.line;
                if (!value(node.name) || !body(node, 0)) return false;
                out.nodes.push_back(std::move(node));
            } else {
                return fail("expected \"picture\" or \"node\", found \"" + to_utf8(keyword) + "\"");
            }
        }
        return true;
    }

    std::string error;

private:
    bool fail(const std::string& what) {
        if (error.empty()) error = "line " + std::to_string(m_token.line) + ": " + what;
        return false;
    }
    bool advance() { return m_lexer.next(m_token, error); }

    bool word(std::u16string& out) {
        if (m_token.type != Token::Word) return fail("expected a keyword");
        out = m_token.text;
        return advance();
    }
    bool value(std::u16string& out) {
        if (m_token.type != Token::Word && m_token.type != Token::Quoted)
            return fail("expected a name or a value");
        out = m_token.text;
        return advance();
    }
    static bool to_number(const std::u16string& text, int64_t& out) {
        size_t i = 0;
        bool negative = false;
        if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
        int base = 10;
        if (i + 1 < text.size() && text[i] == u'0' &&
            (text[i + 1] == u'x' || text[i + 1] == u'X')) {
            base = 16;
            i += 2;
        }
        if (i >= text.size()) return false;
        int64_t v = 0;
        for (; i < text.size(); ++i) {
            const char16_t c = text[i];
            int d = c >= u'0' && c <= u'9' ? c - u'0' : -1;
            if (base == 16 && d < 0)
                d = c >= u'a' && c <= u'f'   ? c - u'a' + 10
                    : c >= u'A' && c <= u'F' ? c - u'A' + 10
                                             : -1;
            if (d < 0 || d >= base) return false;
            v = v * base + d;
            if (v > (int64_t(1) << 33)) return false;
        }
        out = negative ? -v : v;
        return true;
    }
    bool number(int64_t low, int64_t high, int64_t& out) {
        if (m_token.type != Token::Word || !to_number(m_token.text, out))
            return fail("expected a number");
        if (out < low || out > high) {
            return fail("number " + std::to_string(out) + " out of range " + std::to_string(low) +
                        ".." + std::to_string(high));
        }
        return advance();
    }
    bool is_number() const {
        int64_t ignored = 0;
        return m_token.type == Token::Word && to_number(m_token.text, ignored);
    }

    bool colour(Attribute& a) {
        if (m_token.type == Token::Word && !m_token.text.empty() && m_token.text[0] == u'#') {
            const std::u16string hex = m_token.text.substr(1);
            int64_t v = 0;
            if (hex.size() != 6 || !to_number(u"0x" + hex, v))
                return fail("expected a colour #RRGGBB");
            a.red = static_cast<uint8_t>(v >> 16);
            a.green = static_cast<uint8_t>(v >> 8);
            a.blue = static_cast<uint8_t>(v);
            return advance();
        }
        int64_t r = 0, g = 0, b = 0;
        if (!number(0, 255, r) || !number(0, 255, g) || !number(0, 255, b)) return false;
        a.red = static_cast<uint8_t>(r);
        a.green = static_cast<uint8_t>(g);
        a.blue = static_cast<uint8_t>(b);
        return true;
    }

    bool attribute(AttributeKind kind, SourceNode& node) {
        Attribute a;
        a.kind = kind;
        if (!value(a.name)) return false;
        int64_t v = 0, w = 0;
        switch (kind) {
            case AttributeKind::Integer:
                if (!number(INT32_MIN, UINT32_MAX, v)) return false;
                a.integer = static_cast<int32_t>(static_cast<uint32_t>(v));
                break;
            case AttributeKind::Font:
            case AttributeKind::String:
                if (!value(a.text)) return false;
                break;
            case AttributeKind::Point:
                if (!number(INT16_MIN, INT16_MAX, v) || !number(INT16_MIN, INT16_MAX, w))
                    return false;
                a.x = static_cast<int16_t>(v);
                a.y = static_cast<int16_t>(w);
                break;
            case AttributeKind::Picture:
                if (!value(a.picture.picture)) return false;
                for (uint16_t& c : a.picture.coords) {
                    if (!number(0, UINT16_MAX, v)) return false;
                    c = static_cast<uint16_t>(v);
                }
                if (is_number()) {
                    if (!number(0, 255, v)) return false;
                    a.picture.flag = static_cast<uint8_t>(v);
                }
                break;
            case AttributeKind::Colour:
                if (!colour(a)) return false;
                break;
        }
        node.attributes.push_back(std::move(a));
        return true;
    }

    bool body(SourceNode& node, int depth) {
        if (depth >= kMaxNesting) return fail("nodes nested too deeply");
        if (m_token.type != Token::Open) return fail("expected \"{\"");
        if (!advance()) return false;
        while (m_token.type != Token::Close) {
            if (m_token.type == Token::End) return fail("missing \"}\"");
            std::u16string keyword;
            if (!word(keyword)) return false;
            if (keyword == u"node") {
                SourceNode child;
                child.line = m_token.line;
                if (!body(child, depth + 1)) return false;
                node.children.push_back(std::move(child));
                continue;
            }
            bool known = false;
            for (int k = 0; k < skin_format::kAttributeKinds; ++k) {
                const auto kind = static_cast<AttributeKind>(k);
                if (to_utf8(keyword) == kind_keyword(kind)) {
                    if (!attribute(kind, node)) return false;
                    known = true;
                    break;
                }
            }
            if (!known) return fail("unknown attribute kind \"" + to_utf8(keyword) + "\"");
        }
        return advance();
    }

    Lexer m_lexer;
    Token m_token;
};

// Source text of a name or value: bare when it is a plain word, else quoted.
std::string quote(const std::u16string& text) {
    bool bare = !text.empty() && !(text.size() >= 2 && text[0] == u'/' && text[1] == u'/');
    for (char16_t c : text) {
        const bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                           (c >= u'0' && c <= u'9') || c == u'_' || c == u'.' || c == u'#' ||
                           c == u'-' || c == u'+' || c == u':';
        if (!plain) bare = false;
    }
    if (bare) return to_utf8(text);
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        char buffer[8];
        if (c == u'"' || c == u'\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == u'\n') {
            out += "\\n";
        } else if (c == u'\r') {
            out += "\\r";
        } else if (c == u'\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F || c == 0xFFFD) {
            std::snprintf(buffer, sizeof buffer, "\\u%04X", c);
            out += buffer;
        } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                   text[i + 1] <= 0xDFFF) {
            out += to_utf8(text.substr(i, 2));
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            std::snprintf(buffer, sizeof buffer, "\\u%04X", c);
            out += buffer;
        } else {
            out += to_utf8(std::u16string(1, c));
        }
    }
    return out + "\"";
}

void format_node(const SourceNode& node, int depth, std::string& out) {
    const std::string indent(static_cast<size_t>(depth) * 4, ' ');
    const std::string inner = indent + "    ";
    out += depth == 0 ? "node " + quote(node.name) + " {\n" : indent + "node {\n";
    for (const Attribute& a : node.attributes) {
        out += inner + kind_keyword(a.kind) + " " + quote(a.name) + " ";
        char buffer[32];
        switch (a.kind) {
            case AttributeKind::Integer:
                out += std::to_string(a.integer);
                break;
            case AttributeKind::Font:
            case AttributeKind::String:
                out += quote(a.text);
                break;
            case AttributeKind::Point:
                out += std::to_string(a.x) + " " + std::to_string(a.y);
                break;
            case AttributeKind::Picture:
                out += quote(a.picture.picture);
                for (uint16_t c : a.picture.coords)
                    out += " " + std::to_string(c);
                if (a.picture.flag) out += " " + std::to_string(a.picture.flag);
                break;
            case AttributeKind::Colour:
                std::snprintf(buffer, sizeof buffer, "#%02X%02X%02X", a.red, a.green, a.blue);
                out += buffer;
                break;
        }
        out += "\n";
    }
    for (const SourceNode& child : node.children)
        format_node(child, depth + 1, out);
    out += indent + "}\n";
}

SourceNode node_from_image(const SkinImage& image, NodeHandle handle,
                           const std::vector<std::u16string>& fonts,
                           const std::vector<std::u16string>& texts,
                           const std::vector<std::u16string>& pictures) {
    using namespace skin_format;
    SourceNode node;
    for (int k = 0; k < kAttributeKinds; ++k) {
        const auto kind = static_cast<AttributeKind>(k);
        for (int i = 0; i < image.entry_count(handle, kind); ++i) {
            const uint8_t* e = image.entry(handle, kind, i);
            Attribute a;
            a.kind = kind;
            a.name = image.entry_name(e);
            switch (kind) {
                case AttributeKind::Integer:
                    a.integer = decode_integer(e).value;
                    break;
                case AttributeKind::Font:
                    a.text = fonts[static_cast<size_t>(decode_integer(e).value)];
                    break;
                case AttributeKind::Point: {
                    const PointNode p = decode_point(e);
                    a.x = p.x;
                    a.y = p.y;
                    break;
                }
                case AttributeKind::String:
                    a.text = texts[decode_string(e).text];
                    break;
                case AttributeKind::Picture: {
                    const PictureNode p = decode_picture(e);
                    a.picture.picture = pictures[p.picture];
                    const uint16_t c[8] = {p.x0, p.y0, p.x1, p.y1, p.x2, p.y2, p.x3, p.y3};
                    std::copy(c, c + 8, a.picture.coords);
                    a.picture.flag = p.flag;
                    break;
                }
                case AttributeKind::Colour: {
                    const ColorNode c = decode_colour(e);
                    a.red = c.red;
                    a.green = c.green;
                    a.blue = c.blue;
                    break;
                }
            }
            node.attributes.push_back(std::move(a));
        }
    }
    for (int i = 0; i < image.child_count(handle); ++i) {
        node.children.push_back(
            node_from_image(image, image.child(handle, i), fonts, texts, pictures));
    }
    return node;
}

}  // namespace

bool parse_skin_source(const std::string& text, SkinSource& out, std::string& error) {
    Parser parser(text);
    SkinSource source;
    if (!parser.parse(source)) {
        error = parser.error;
        return false;
    }
    out = std::move(source);
    return true;
}

std::string format_skin_source(const SkinSource& source) {
    std::string out;
    for (const auto& picture : source.pictures)
        out += "picture " + quote(picture) + "\n";
    for (const SourceNode& node : source.nodes) {
        if (!out.empty()) out += "\n";
        format_node(node, 0, out);
    }
    return out;
}

SkinSource skin_source_from_image(const SkinImage& image) {
    SkinSource source;
    std::vector<std::u16string> fonts, texts;
    for (int i = 0; i < image.picture_count(); ++i)
        source.pictures.push_back(image.picture_name(i));
    for (int i = 0; i < image.font_count(); ++i)
        fonts.push_back(image.font_description(i));
    for (int i = 0; i < image.text_count(); ++i)
        texts.push_back(image.text(i));
    for (const auto& [name, handle] : image.top_level_nodes()) {
        SourceNode node = node_from_image(image, handle, fonts, texts, source.pictures);
        node.name = name;
        source.nodes.push_back(std::move(node));
    }
    return source;
}

}  // namespace vistrel::skinc
