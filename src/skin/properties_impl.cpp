#include "skin/properties_impl.h"

#include <unordered_map>

#include "platform/file_stream.h"
#include "platform/text.h"
#include "platform/threads.h"
#include "platform/trace.h"

namespace vistrel {

using namespace skin_format;

SkinResources SkinResources::system() {
    SkinResources r;
    r.load_picture = [](const std::u16string& path) {
        PictureHandle handle;
        load_565(path, handle);
        return handle;
    };
    r.make_font = [](const FontDescription& description, int dpi) {
        return std::make_shared<FontRep>(description, dpi);
    };
    return r;
}

std::u16string skin_folder(std::u16string_view path) {
    const size_t slash = path.find_last_of(u"/\\");
    return slash == std::u16string_view::npos ? std::u16string()
                                              : std::u16string(path.substr(0, slash));
}

namespace {

// A picture "NAME" may come with "NAME@2x", drawn at twice the density: on a screen whose
// skin coordinates are doubled it is drawn pixel for pixel instead of pixel-doubled. Only
// one exactly twice the size of NAME is taken.
bool take_dense_variant(const std::function<PictureHandle(const std::u16string&)>& load,
                        const std::u16string& path, const std::u16string& name,
                        PictureHandle& picture) {
    if (!load) return false;
    PictureHandle dense = load(path + u"@2x");
    if (!dense) return false;
    const Size size = picture.size();
    if (dense.size() != Size{size.w * 2, size.h * 2}) {
        trace() << "PropertiesImpl::PropertiesImpl picture {" << name
                << "@2x} is not twice the size of its picture; not used\n";
        return false;
    }
    picture = std::move(dense);
    return true;
}

void trace_node_sizes() {
    trace() << "sizeof(Node*4)=" << sizeof(Node) * 4 << "\n";
    trace() << "sizeof(IntegerNode*4)=" << sizeof(IntegerNode) * 4 << "\n";
    trace() << "sizeof(PointNode*4)=" << sizeof(PointNode) * 4 << "\n";
    trace() << "sizeof(Node)=" << sizeof(Node) << "\n";
    trace() << "sizeof(IntegerNode)=" << sizeof(IntegerNode) << "\n";
    trace() << "IntegerNode::Size=" << IntegerNode::Size << "\n";
    trace() << "sizeof(PointNode)=" << sizeof(PointNode) << "\n";
    trace() << "PointNode::Size=" << PointNode::Size << "\n";
    trace() << "sizeof(ColorNode)=" << sizeof(ColorNode) << "\n";
    trace() << "ColorNode::Size=" << ColorNode::Size << "\n";
    trace() << "sizeof(StringNode)=" << sizeof(StringNode) << "\n";
    trace() << "StringNode::Size=" << StringNode::Size << "\n";
    trace() << "sizeof(PictureNode)=" << sizeof(PictureNode) << "\n";
    trace() << "PictureNode::Size=" << PictureNode::Size << "\n";
}

// The whole file, or nothing (with the trace line of a short read).
bool read_skin_file(const std::u16string& path, std::vector<uint8_t>& bytes) {
    FileStream file(path, OpenMode::Read);
    if (!file.is_open()) return false;
    const uint64_t size = file.size();
    if (size > SkinImage::kMaxFileBytes) return false;
    bytes.resize(static_cast<size_t>(size));
    size_t got = 0;
    while (got < bytes.size()) {
        const size_t n = file.read(bytes.data() + got, bytes.size() - got);
        if (n == 0) break;
        got += n;
    }
    if (got != bytes.size()) {
        trace() << "Error: skin [" << path << "] failed to load\n";
        return false;
    }
    return true;
}

}  // namespace

PropertiesImpl::PropertiesImpl(const std::u16string& path, const ScreenInfo& screen)
    : m_path(path) {
    trace_node_sizes();
    std::vector<uint8_t> bytes;
    if (read_skin_file(path, bytes)) load(std::move(bytes), screen, SkinResources::system());
}

PropertiesImpl::PropertiesImpl(std::vector<uint8_t> bytes, const std::u16string& path,
                               const ScreenInfo& screen, const SkinResources& resources)
    : m_path(path) {
    load(std::move(bytes), screen, resources);
}

void PropertiesImpl::load(std::vector<uint8_t> bytes, const ScreenInfo& screen,
                          const SkinResources& resources) {
    std::unique_ptr<SkinImage> image = SkinImage::open(std::move(bytes), &m_error);
    if (!image) {
        if (!m_error.empty()) {
            trace() << "PropertiesImpl::PropertiesImpl skin [" << m_path
                    << "] is damaged: " << m_error.c_str() << "\n";
        }
        return;
    }
    m_scale_shift = screen.scale_shift();
    const uint32_t start = tick_count();
    const std::u16string folder = skin_folder(m_path);
    std::vector<PictureReference> pictures;
    std::vector<int> shifts;
    // A picture named more than once is loaded once (with its scale); all pictures together
    // stay within what one bitmap may be, however many names lead to the same file.
    std::unordered_map<std::u16string, size_t> loaded;  // path -> index in pictures
    int64_t pixels = 0;
    for (int i = 0; i < image->picture_count(); ++i) {
        const uint32_t picture_start = tick_count();
        const std::u16string name = image->picture_name(i);
        const std::u16string path = folder.empty() ? name : folder + u"/" + name;
        if (const auto known = loaded.find(path); known != loaded.end()) {
            pictures.push_back(pictures[known->second]);
            shifts.push_back(shifts[known->second]);
            continue;
        }
        PictureHandle picture =
            resources.load_picture ? resources.load_picture(path) : PictureHandle();
        const Size size = picture.size();
        if (!picture || size.w < 1 || size.h < 1) {
            trace() << "PropertiesImpl::PropertiesImpl picture failed to load {" << name << "}\n";
            m_error = "picture \"" + to_utf8(name) + "\" failed to load";
            return;
        }
        int shift = m_scale_shift;
        if (shift == 1 && take_dense_variant(resources.load_picture, path, name, picture))
            shift = 0;
        const Size kept = picture.size();
        pixels += int64_t(kept.w) * kept.h;
        if (pixels > kMaxSkinPicturePixels) {
            trace() << "PropertiesImpl::PropertiesImpl pictures too large {" << name << "}\n";
            m_error = "pictures larger than a skin may hold, at \"" + to_utf8(name) + "\"";
            return;
        }
        trace() << "PropertiesImpl::PropertiesImpl picture load time="
                << (tick_count() - picture_start) << " {" << name << "}\n";
        loaded.emplace(path, pictures.size());
        pictures.push_back(PictureReference::whole(picture));
        shifts.push_back(shift);
    }
    std::vector<FontHandle> fonts;
    for (int i = 0; i < image->font_count(); ++i) {
        FontDescription description;
        description.scale = 1 << m_scale_shift;
        parse_font_description(image->font_description(i), description);
        FontHandle font =
            resources.make_font ? resources.make_font(description, screen.dpi) : nullptr;
        fonts.push_back(font ? std::move(font) : std::make_shared<FontRep>(description, nullptr));
    }
    std::vector<std::u16string> texts;
    texts.reserve(static_cast<size_t>(image->text_count()));
    for (int i = 0; i < image->text_count(); ++i)
        texts.push_back(image->text(i));
    trace() << "PropertiesImpl::PropertiesImpl fonts create time=" << (tick_count() - start)
            << "\n";

    m_pictures = std::move(pictures);
    m_picture_shifts = std::move(shifts);
    m_fonts = std::move(fonts);
    m_texts = std::move(texts);
    m_image = std::move(image);
}

NodeHandle PropertiesImpl::find_node(std::u16string_view name) const {
    return m_image ? m_image->find_node(name) : NodeHandle();
}

const uint8_t* PropertiesImpl::find(NodeHandle node, AttributeKind kind,
                                    std::u16string_view name) const {
    return (m_image && node) ? m_image->find_entry(node, kind, name) : nullptr;
}

int32_t PropertiesImpl::get_integer(NodeHandle node, std::u16string_view name,
                                    int32_t fallback) const {
    const uint8_t* e = find(node, AttributeKind::Integer, name);
    return e ? decode_integer(e).value : fallback;
}

Point PropertiesImpl::get_point(NodeHandle node, std::u16string_view name, Point fallback) const {
    const uint8_t* e = find(node, AttributeKind::Point, name);
    if (!e) return fallback;
    const PointNode p = decode_point(e);
    return {p.x * (1 << m_scale_shift), p.y * (1 << m_scale_shift)};
}

FontHandle PropertiesImpl::get_font(NodeHandle node, std::u16string_view name,
                                    const FontHandle& fallback) const {
    const uint8_t* e = find(node, AttributeKind::Font, name);
    return e ? m_fonts[static_cast<size_t>(decode_integer(e).value)] : fallback;
}

std::u16string_view PropertiesImpl::get_string(NodeHandle node, std::u16string_view name,
                                               std::u16string_view fallback) const {
    const uint8_t* e = find(node, AttributeKind::String, name);
    return e ? std::u16string_view(m_texts[decode_string(e).text]) : fallback;
}

Colour PropertiesImpl::get_color(NodeHandle node, std::u16string_view name, Colour fallback) const {
    const uint8_t* e = find(node, AttributeKind::Colour, name);
    if (!e) return fallback;
    const ColorNode c = decode_colour(e);
    return {c.red, c.green, c.blue, 255};
}

PictureReference PropertiesImpl::get_picture(NodeHandle node, std::u16string_view name,
                                             const PictureReference& fallback) const {
    const uint8_t* e = find(node, AttributeKind::Picture, name);
    if (!e) return fallback;
    const PictureNode p = decode_picture(e);
    const int s = m_scale_shift;
    PictureReference ref;
    ref.p0 = {p.x0 << s, p.y0 << s};
    ref.p1 = {p.x1 << s, p.y1 << s};
    ref.p2 = {p.x2 << s, p.y2 << s};
    ref.p3 = {p.x3 << s, p.y3 << s};
    ref.picture = m_pictures[p.picture].picture;
    ref.shift = m_picture_shifts[p.picture];
    ref.flag = p.flag != 0;
    return ref;
}

int PropertiesImpl::child_count(NodeHandle node) const {
    return m_image ? m_image->child_count(node) : 0;
}

NodeHandle PropertiesImpl::child(NodeHandle node, int index) const {
    return m_image ? m_image->child(node, index) : NodeHandle();
}

int PropertiesImpl::attribute_count(NodeHandle node, AttributeKind kind) const {
    return m_image ? m_image->entry_count(node, kind) : 0;
}

}  // namespace vistrel
