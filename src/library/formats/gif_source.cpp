// GIF through giflib: the first frame, laid on the picture's own canvas; its transparent
// colour shows the background.

#include <gif_lib.h>

#include <cstring>
#include <vector>

#include "library/formats/picture_source.h"

namespace vistrel {

namespace {

// Files larger than this are not read: a GIF photo of the largest size we take is smaller.
constexpr uint64_t kMaxFileBytes = uint64_t(256) << 20;

struct Reader {
    const std::vector<uint8_t>* bytes;
    size_t at;
};

int read_gif(GifFileType* gif, GifByteType* out, int count) {
    Reader* reader = static_cast<Reader*>(gif->UserData);
    if (count <= 0) return 0;
    const size_t left = reader->bytes->size() - reader->at;
    const size_t n = std::min(left, size_t(count));
    if (n == 0) return 0;
    std::memcpy(out, reader->bytes->data() + reader->at, n);
    reader->at += n;
    return int(n);
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

class GifSource final : public WholePictureSource {
public:
    GifSource() : WholePictureSource(PictureFormat::Gif) {}
    bool open(InputStream& input);
};

bool GifSource::open(InputStream& input) {
    std::vector<uint8_t> bytes;
    if (!read_all(input, bytes, kMaxFileBytes)) return fail("it cannot be read");
    Reader reader{&bytes, 0};
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&reader, read_gif, &error));
    if (!gif) return fail("its GIF header cannot be read");
    const int64_t width = gif->SWidth, height = gif->SHeight;
    set_layout(PixelLayout::Rgba8);
    if (!allocate(width, height)) return false;
    // Records up to the first image, its graphics control block giving its transparency.
    int transparent = -1;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR) return fail("its GIF data is damaged");
        if (type == TERMINATE_RECORD_TYPE) return fail("it holds no image");
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR)
                return fail("its GIF data is damaged");
            if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4 && (block[1] & 1))
                transparent = block[4];
            while (block) {
                if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR)
                    return fail("its GIF data is damaged");
            }
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE) continue;
        if (DGifGetImageDesc(gif.get()) == GIF_ERROR) return fail("its GIF data is damaged");
        break;
    }
    const GifImageDesc& frame = gif->Image;
    const ColorMapObject* map = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    if (!map || !map->Colors || map->ColorCount <= 0) return fail("it has no colours");
    const int64_t fw = frame.Width, fh = frame.Height;
    if (fw <= 0 || fh <= 0 || fw > 65535 || fh > 65535) return fail("its GIF frame has no pixels");
    std::vector<GifByteType> line(static_cast<size_t>(fw));
    // Rows in the order they are stored: interlaced frames come in four passes.
    std::vector<int64_t> order;
    order.reserve(size_t(fh));
    if (frame.Interlace) {
        for (const auto& [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
            for (int64_t y = start; y < fh; y += step)
                order.push_back(y);
    } else {
        for (int64_t y = 0; y < fh; ++y)
            order.push_back(y);
    }
    int64_t rows = 0;
    for (const int64_t y : order) {
        if (DGifGetLine(gif.get(), line.data(), int(fw)) == GIF_ERROR) break;
        ++rows;
        const int64_t canvas_y = frame.Top + y;
        if (canvas_y < 0 || canvas_y >= height) continue;
        uint8_t* out = pixels() + size_t(canvas_y) * stride();
        for (int64_t x = 0; x < fw; ++x) {
            const int64_t canvas_x = frame.Left + x;
            if (canvas_x < 0 || canvas_x >= width) continue;
            const int index = line[size_t(x)];
            uint8_t* p = out + size_t(canvas_x) * 4;
            if (index == transparent || index >= map->ColorCount) continue;  // stays clear
            p[0] = map->Colors[index].Red;
            p[1] = map->Colors[index].Green;
            p[2] = map->Colors[index].Blue;
            p[3] = 255;
        }
    }
    // A frame cut short keeps the rows it has.
    return rows > 0 || fail("its GIF data is damaged");
}

}  // namespace

std::unique_ptr<PictureSource> open_gif(std::unique_ptr<InputStream> input, std::string& problem) {
    auto source = std::make_unique<GifSource>();
    if (source->open(*input)) return source;
    problem = source->problem();
    return nullptr;
}

}  // namespace vistrel
