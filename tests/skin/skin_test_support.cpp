#include "skin_test_support.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/text.h"
#include "skin/screen_nodes.h"
#include "render/bmp_file.h"
#include "skinc/skin_compiler.h"
#include "skinc/skin_source.h"

namespace vistrel::test {

std::vector<uint8_t> compile_source(const std::string& text) {
    skinc::SkinSource source;
    std::string error;
    std::vector<uint8_t> bytes;
    if (!skinc::parse_skin_source(text, source, error) ||
        !skinc::compile_skin(source, bytes, error)) {
        ADD_FAILURE() << "skin source does not compile: " << error;
    }
    return bytes;
}

namespace {

// The first of the accepted kinds ("text|oldtext"), "node" when any kind will do.
std::string first_kind(std::u16string_view kinds) {
    const std::string all = to_utf8(std::u16string(kinds));
    return all.empty() ? "node" : all.substr(0, all.find('|'));
}

}  // namespace

std::string complete_skin_source(const std::string& marker) {
    std::string out = "node " + marker + " { string type node }\n";
    for (const RequiredNode& node : required_screen_nodes()) {
        // Paths are "element" or "element/inner": each element once, its inner ones in it.
        std::map<std::string, std::string> kinds;
        std::map<std::string, std::vector<std::pair<std::string, std::string>>> inner;
        std::vector<std::string> order;
        for (const RequiredElement& element : node.elements) {
            const std::string path = to_utf8(std::u16string(element.path));
            const size_t slash = path.find('/');
            const std::string head = path.substr(0, slash);
            if (!kinds.count(head)) {
                order.push_back(head);
                kinds[head] = "node";
            }
            if (slash == std::string::npos)
                kinds[head] = first_kind(element.kinds);
            else
                inner[head].emplace_back(path.substr(slash + 1), first_kind(element.kinds));
        }
        out += "node " + to_utf8(std::u16string(node.name)) + " {\n  string type node\n";
        for (const std::string& head : order) {
            out += "  node { string type " + kinds[head] + "  string id \"" + head + "\"";
            for (const auto& [id, kind] : inner[head])
                out += "  node { string type " + kind + "  string id \"" + id + "\" }";
            out += " }\n";
        }
        out += "}\n";
    }
    return out;
}

std::unique_ptr<Bitmap> filled_bitmap(int w, int h, Pixel value) {
    auto bitmap = Bitmap::create(w, h);
    for (int y = 0; y < h; ++y)
        std::fill(bitmap->row(y), bitmap->row(y) + w, value);
    return bitmap;
}

void write_picture(const std::string& path_without_extension, int w, int h, Pixel value) {
    ASSERT_TRUE(
        write_bmp_565(*filled_bitmap(w, h, value), from_utf8(path_without_extension + ".bmp")));
}

SkinResources box_resources() {
    SkinResources r;
    r.load_picture = [](const std::u16string&) {
        PictureHandle handle;
        picture_from_bitmap(filled_bitmap(8, 4, 0x1234), handle);
        return handle;
    };
    r.make_font = [](const FontDescription& d, int) {
        return std::make_shared<FontRep>(d, std::make_unique<BoxFace>());
    };
    return r;
}

FaceMetrics BoxFace::metrics() const {
    FaceMetrics m;
    m.ascent = 8;
    m.descent = 2;
    m.underline_position = 1;
    m.underline_thickness = 1;
    return m;
}

bool BoxFace::render(char32_t c, Glyph& out) {
    ++m_renders;
    if (c == 0xFFFF) return false;
    out = Glyph{};
    out.advance = 6;
    if (c == U' ' || c == U'\t') return true;
    if (c == 0x2026) {
        out.width = 5;
        out.height = 1;
        out.top = 1;
        out.coverage = {255, 0, 255, 0, 255};
        return true;
    }
    out.width = c == U'i' ? 2 : 5;
    out.advance = c == U'i' ? 3 : 6;
    out.height = 8;
    out.top = 8;
    out.coverage.assign(static_cast<size_t>(out.width) * out.height, c == U'h' ? 128 : 255);
    return true;
}

std::shared_ptr<FontRep> box_font(bool underline) {
    FontDescription d;
    d.underline = underline;
    return std::make_shared<FontRep>(d, std::make_unique<BoxFace>());
}

}  // namespace vistrel::test
