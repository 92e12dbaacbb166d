#include "format_samples.h"

#include <gif_lib.h>
#include <jxl/encode_cxx.h>
#include <libheif/heif.h>
#include <png.h>
#include <tiffio.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <fstream>
#include <iterator>

namespace vistrel::test {

std::vector<uint8_t> pattern_rgba(int width, int height, bool alpha) {
    std::vector<uint8_t> rgba(size_t(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &rgba[(size_t(y) * width + x) * 4];
            p[0] = uint8_t(255 * x / std::max(1, width - 1));
            p[1] = uint8_t(255 * y / std::max(1, height - 1));
            p[2] = 96;
            p[3] = alpha && x >= 2 * width / 3 ? 0 : 255;
        }
    return rgba;
}

std::vector<uint8_t> flattened(const FormatSample& sample, uint32_t background) {
    std::vector<uint8_t> rgb(size_t(sample.width) * sample.height * 3);
    const int back[3] = {int(background >> 16) & 255, int(background >> 8) & 255,
                         int(background) & 255};
    for (size_t i = 0; i < size_t(sample.width) * sample.height; ++i) {
        const int a = sample.rgba[4 * i + 3];
        for (int c = 0; c < 3; ++c)
            rgb[3 * i + c] = uint8_t((sample.rgba[4 * i + c] * a + back[c] * (255 - a) + 127) / 255);
    }
    return rgb;
}

namespace {

// The RGB of RGBA pixels, the alpha dropped.
std::vector<uint8_t> rgb_of(const std::vector<uint8_t>& rgba) {
    std::vector<uint8_t> rgb;
    rgb.reserve(rgba.size() / 4 * 3);
    for (size_t i = 0; i < rgba.size(); ++i)
        if (i % 4 != 3) rgb.push_back(rgba[i]);
    return rgb;
}

}  // namespace

// --- PNG ---

namespace {

void png_append(png_structp png, png_bytep data, size_t size) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}
void png_flush(png_structp) {}

// Writes the rows; false when libpng fails (no objects with destructors live here).
bool write_png_rows(png_structp png, png_infop info, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, info);
    return true;
}

bool set_png_header(png_structp png, png_infop info, const PngOptions& o, png_colorp palette,
                    png_bytep alphas, int alpha_count, png_color_16p grey_key,
                    const std::vector<uint8_t>& icc) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_IHDR(png, info, o.width, o.height, o.bit_depth, o.colour_type,
                 o.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (o.colour_type == PNG_COLOR_TYPE_PALETTE) png_set_PLTE(png, info, palette, 1 << o.bit_depth);
    if (alpha_count > 0) png_set_tRNS(png, info, alphas, alpha_count, nullptr);
    if (grey_key) png_set_tRNS(png, info, nullptr, 0, grey_key);
    if (!icc.empty())
        png_set_iCCP(png, info, "test", PNG_COMPRESSION_TYPE_BASE, icc.data(), png_uint_32(icc.size()));
    return true;
}

}  // namespace

std::vector<uint8_t> textured_rgb(int width, int height) {
    std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
    uint32_t seed = 7;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            seed = seed * 1103515245u + 12345u;
            const int noise = int(seed >> 29) - 4;
            const bool block = ((x / 37) + (y / 23)) % 3 == 0;
            uint8_t* p = &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3];
            p[0] = uint8_t(std::clamp(x * 255 / width + noise, 0, 255));
            p[1] = uint8_t(std::clamp((block ? 160 : 90) + noise, 0, 255));
            p[2] = uint8_t(std::clamp(y * 255 / height + noise, 0, 255));
        }
    return rgb;
}

FormatSample make_png(const PngOptions& o) {
    FormatSample s;
    s.width = o.width;
    s.height = o.height;
    const std::vector<uint8_t> pattern = pattern_rgba(o.width, o.height, false);
    const bool grey = o.colour_type == PNG_COLOR_TYPE_GRAY || o.colour_type == PNG_COLOR_TYPE_GRAY_ALPHA;
    const bool palette = o.colour_type == PNG_COLOR_TYPE_PALETTE;
    const bool alpha = o.colour_type & PNG_COLOR_MASK_ALPHA;
    const int channels = palette ? 1 : (grey ? 1 : 3) + (alpha ? 1 : 0);
    const int depth = o.bit_depth;
    const int levels = (1 << std::min(depth, 8)) - 1;
    std::vector<png_color> colours(256);
    std::vector<png_byte> alphas(16, 0);
    for (int i = 0; i < 256; ++i)
        colours[size_t(i)] = {png_byte(i), png_byte(255 - i), png_byte(i / 2)};
    png_color_16 key{};
    key.gray = 0;
    s.rgba.resize(size_t(o.width) * o.height * 4);
    const size_t row_bytes = (size_t(o.width) * channels * depth + 7) / 8;
    std::vector<std::vector<uint8_t>> rows(size_t(o.height), std::vector<uint8_t>(row_bytes, 0));
    for (int y = 0; y < o.height; ++y)
        for (int x = 0; x < o.width; ++x) {
            const uint8_t* p = &pattern[(size_t(y) * o.width + x) * 4];
            uint8_t* e = &s.rgba[(size_t(y) * o.width + x) * 4];
            std::vector<uint32_t> samples;  // stored values, in the file's depth
            if (palette) {
                const int index = (x + 3 * y) & 255 & levels;
                samples.push_back(uint32_t(index));
                e[0] = colours[size_t(index)].red;
                e[1] = colours[size_t(index)].green;
                e[2] = colours[size_t(index)].blue;
                e[3] = o.transparency && index < 16 ? 0 : 255;
            } else if (grey) {
                const uint32_t v = depth == 16 ? std::min<uint32_t>(65535, uint32_t(p[0]) * 257 + (x & 1)) : uint32_t(p[0] * levels / 255);
                samples.push_back(v);
                const uint8_t shown = depth == 16 ? uint8_t((v * 255 + 32767) / 65535) : uint8_t(v * 255 / levels);
                e[0] = e[1] = e[2] = shown;
                e[3] = o.transparency && v == 0 ? 0 : 255;
                if (alpha) {
                    const uint32_t a = x >= 2 * o.width / 3 ? 0 : (depth == 16 ? 65535 : 255);
                    samples.push_back(a);
                    e[3] = a ? 255 : 0;
                }
            } else {
                for (int c = 0; c < 3; ++c) {
                    const uint32_t v = depth == 16 ? std::min<uint32_t>(65535, uint32_t(p[c]) * 257 + (y & 1)) : p[c];
                    samples.push_back(v);
                    e[c] = depth == 16 ? uint8_t((v * 255 + 32767) / 65535) : uint8_t(v);
                }
                e[3] = 255;
                if (alpha) {
                    const uint32_t a = x >= 2 * o.width / 3 ? 0 : (depth == 16 ? 65535 : 255);
                    samples.push_back(a);
                    e[3] = a ? 255 : 0;
                }
            }
            uint8_t* row = rows[size_t(y)].data();
            for (size_t k = 0; k < samples.size(); ++k) {
                const size_t index = size_t(x) * channels + k;
                if (depth == 16) {
                    row[2 * index] = uint8_t(samples[k] >> 8);
                    row[2 * index + 1] = uint8_t(samples[k]);
                } else if (depth == 8) {
                    row[index] = uint8_t(samples[k]);
                } else {
                    const size_t bit = index * depth;
                    row[bit / 8] |= uint8_t(samples[k] << (8 - depth - bit % 8));
                }
            }
        }
    if (grey && o.transparency && !alpha) key.gray = 0;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &s.bytes, png_append, png_flush);
    png_set_compression_buffer_size(png, 512);  // many IDAT chunks, to be cut between
    std::vector<png_bytep> pointers;
    for (auto& row : rows)
        pointers.push_back(row.data());
    const bool ok =
        set_png_header(png, info, o, colours.data(), alphas.data(),
                       palette && o.transparency ? 16 : 0, grey && o.transparency && !alpha ? &key : nullptr,
                       o.icc_profile) &&
        write_png_rows(png, info, pointers.data());
    png_destroy_write_struct(&png, &info);
    if (!ok) s.bytes.clear();
    return s;
}

// --- TIFF ---

FormatSample make_tiff(const TiffOptions& o, const std::string& scratch) {
    FormatSample s;
    s.width = o.width;
    s.height = o.height;
    s.rgba = pattern_rgba(o.width, o.height, o.alpha);
    for (size_t i = 0; i < s.rgba.size(); i += 4) {
        if (o.grey) s.rgba[i + 1] = s.rgba[i + 2] = s.rgba[i];
        if (o.alpha && o.soft_alpha) s.rgba[i + 3] = uint8_t((i / 4) * 37 % 256);
    }
    TIFF* tiff = TIFFOpen(scratch.c_str(), "w");
    if (!tiff) return s;
    const int channels = (o.grey ? 1 : 3) + (o.alpha ? 1 : 0);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(o.width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(o.height));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(channels));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(o.bits));
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, o.grey ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(tiff, TIFFTAG_ORIENTATION, uint16_t(o.orientation));
    if (o.alpha) {
        const uint16_t extra = o.associated ? EXTRASAMPLE_ASSOCALPHA : EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    if (!o.icc_profile.empty())
        TIFFSetField(tiff, TIFFTAG_ICCPROFILE, uint32_t(o.icc_profile.size()), o.icc_profile.data());
    const int bytes = o.bits / 8;
    auto sample = [&](int x, int y, int c, uint8_t* out) {
        const uint8_t* p = &s.rgba[(size_t(y) * o.width + x) * 4];
        const bool is_alpha = o.alpha && c == channels - 1;
        uint32_t v = p[is_alpha ? 3 : c];
        if (!is_alpha && o.associated) v = (v * p[3] + 127) / 255;
        if (bytes == 2) {
            const uint16_t wide = uint16_t(v * 257);
            std::memcpy(out, &wide, 2);
        } else {
            *out = uint8_t(v);
        }
    };
    bool ok = true;
    if (o.tiled) {
        const int tile = 16;
        TIFFSetField(tiff, TIFFTAG_TILEWIDTH, uint32_t(tile));
        TIFFSetField(tiff, TIFFTAG_TILELENGTH, uint32_t(tile));
        std::vector<uint8_t> buffer(size_t(tile) * tile * channels * bytes);
        for (int ty = 0; ty < o.height; ty += tile)
            for (int tx = 0; tx < o.width; tx += tile) {
                std::fill(buffer.begin(), buffer.end(), 0);
                for (int y = 0; y < tile && ty + y < o.height; ++y)
                    for (int x = 0; x < tile && tx + x < o.width; ++x)
                        for (int c = 0; c < channels; ++c)
                            sample(tx + x, ty + y, c,
                                   &buffer[((size_t(y) * tile + x) * channels + c) * bytes]);
                ok = ok && TIFFWriteTile(tiff, buffer.data(), uint32_t(tx), uint32_t(ty), 0, 0) >= 0;
            }
    } else {
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, uint32_t(7));
        std::vector<uint8_t> row(size_t(o.width) * channels * bytes);
        for (int y = 0; y < o.height; ++y) {
            for (int x = 0; x < o.width; ++x)
                for (int c = 0; c < channels; ++c)
                    sample(x, y, c, &row[(size_t(x) * channels + c) * bytes]);
            ok = ok && TIFFWriteScanline(tiff, row.data(), uint32_t(y), 0) >= 0;
        }
    }
    TIFFClose(tiff);
    if (!ok) return s;
    std::ifstream in(scratch, std::ios::binary);
    s.bytes.assign(std::istreambuf_iterator<char>(in), {});
    return s;
}

// --- WebP ---

FormatSample make_webp(const WebPOptions& o) {
    FormatSample s;
    s.width = o.width;
    s.height = o.height;
    s.rgba = pattern_rgba(o.width, o.height, o.alpha);
    std::vector<uint8_t> still;
    if (o.animated) {
        WebPAnimEncoderOptions options;
        WebPAnimEncoderOptionsInit(&options);
        WebPAnimEncoder* encoder = WebPAnimEncoderNew(o.width, o.height, &options);
        WebPConfig config;
        WebPConfigInit(&config);
        config.lossless = 1;
        WebPPicture picture;
        WebPPictureInit(&picture);
        picture.use_argb = 1;
        picture.width = o.width;
        picture.height = o.height;
        WebPPictureImportRGBA(&picture, s.rgba.data(), o.width * 4);
        WebPAnimEncoderAdd(encoder, &picture, 0, &config);
        std::vector<uint8_t> black(s.rgba.size(), 0);
        for (size_t i = 3; i < black.size(); i += 4)
            black[i] = 255;
        WebPPictureImportRGBA(&picture, black.data(), o.width * 4);
        WebPAnimEncoderAdd(encoder, &picture, 100, &config);
        WebPAnimEncoderAdd(encoder, nullptr, 200, nullptr);
        WebPData data;
        WebPDataInit(&data);
        if (WebPAnimEncoderAssemble(encoder, &data)) still.assign(data.bytes, data.bytes + data.size);
        WebPDataClear(&data);
        WebPPictureFree(&picture);
        WebPAnimEncoderDelete(encoder);
    } else {
        uint8_t* out = nullptr;
        size_t size = 0;
        if (o.lossless)
            size = WebPEncodeLosslessRGBA(s.rgba.data(), o.width, o.height, o.width * 4, &out);
        else if (o.alpha)
            size = WebPEncodeRGBA(s.rgba.data(), o.width, o.height, o.width * 4, 95, &out);
        else {
            const std::vector<uint8_t> rgb = rgb_of(s.rgba);
            size = WebPEncodeRGB(rgb.data(), o.width, o.height, o.width * 3, 95, &out);
        }
        if (out) still.assign(out, out + size);
        WebPFree(out);
    }
    if (still.empty() || o.icc_profile.empty()) {
        s.bytes = std::move(still);
        return s;
    }
    const WebPData image{still.data(), still.size()};
    WebPMux* mux = WebPMuxCreate(&image, 1);
    const WebPData profile{o.icc_profile.data(), o.icc_profile.size()};
    WebPData assembled;
    WebPDataInit(&assembled);
    if (mux && WebPMuxSetChunk(mux, "ICCP", &profile, 1) == WEBP_MUX_OK &&
        WebPMuxAssemble(mux, &assembled) == WEBP_MUX_OK)
        s.bytes.assign(assembled.bytes, assembled.bytes + assembled.size);
    WebPDataClear(&assembled);
    WebPMuxDelete(mux);
    return s;
}

// --- GIF ---

namespace {

int gif_append(GifFileType* gif, const GifByteType* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + size);
    return size;
}

}  // namespace

FormatSample make_gif(int width, int height, bool transparent, bool interlaced) {
    FormatSample s;
    s.width = width;
    s.height = height;
    s.rgba.resize(size_t(width) * height * 4);
    std::vector<GifColorType> colours(256);
    for (int i = 0; i < 256; ++i)
        colours[size_t(i)] = {GifByteType(i), GifByteType(255 - i), GifByteType((i * 7) & 255)};
    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, gif_append, &error);
    if (!gif) return s;
    ColorMapObject* map = GifMakeMapObject(256, colours.data());
    bool ok = EGifPutScreenDesc(gif, width, height, 8, 0, map) != GIF_ERROR;
    if (transparent) {
        const GifByteType control[4] = {1, 0, 0, 0};  // transparent colour 0
        ok = ok && EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control) != GIF_ERROR;
    }
    ok = ok && EGifPutImageDesc(gif, 0, 0, width, height, interlaced, nullptr) != GIF_ERROR;
    std::vector<int> order;
    if (interlaced) {
        for (const auto& [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
            for (int y = start; y < height; y += step)
                order.push_back(y);
    } else {
        for (int y = 0; y < height; ++y)
            order.push_back(y);
    }
    std::vector<GifPixelType> line(static_cast<size_t>(width));
    for (const int y : order) {
        for (int x = 0; x < width; ++x)
            line[size_t(x)] = GifPixelType((x + 2 * y) & 255);
        ok = ok && EGifPutLine(gif, line.data(), width) != GIF_ERROR;
    }
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int index = (x + 2 * y) & 255;
            uint8_t* e = &s.rgba[(size_t(y) * width + x) * 4];
            e[0] = colours[size_t(index)].Red;
            e[1] = colours[size_t(index)].Green;
            e[2] = colours[size_t(index)].Blue;
            e[3] = transparent && index == 0 ? 0 : 255;
            if (e[3] == 0) e[0] = e[1] = e[2] = 0;
        }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    if (ok) s.bytes = std::move(out);
    return s;
}

// --- JPEG XL ---

// Ends the input and takes every byte the encoder makes; empty when it fails.
std::vector<uint8_t> jxl_output(JxlEncoder* encoder) {
    JxlEncoderCloseInput(encoder);
    std::vector<uint8_t> out(4096);
    uint8_t* next = out.data();
    size_t avail = out.size();
    for (;;) {
        const JxlEncoderStatus status = JxlEncoderProcessOutput(encoder, &next, &avail);
        if (status == JXL_ENC_SUCCESS) break;
        if (status != JXL_ENC_NEED_MORE_OUTPUT) return {};
        const size_t used = size_t(next - out.data());
        out.resize(out.size() * 2);
        next = out.data() + used;
        avail = out.size() - used;
    }
    out.resize(size_t(next - out.data()));
    return out;
}

FormatSample make_jxl(int width, int height, bool alpha, bool sixteen) {
    FormatSample s;
    s.width = width;
    s.height = height;
    s.rgba = pattern_rgba(width, height, alpha);
    JxlEncoderPtr encoder = JxlEncoderMake(nullptr);
    JxlBasicInfo info;
    JxlEncoderInitBasicInfo(&info);
    info.xsize = uint32_t(width);
    info.ysize = uint32_t(height);
    info.bits_per_sample = sixteen ? 16 : 8;
    info.num_color_channels = 3;
    info.num_extra_channels = alpha ? 1 : 0;
    info.alpha_bits = alpha ? info.bits_per_sample : 0;
    info.uses_original_profile = JXL_TRUE;
    if (JxlEncoderSetBasicInfo(encoder.get(), &info) != JXL_ENC_SUCCESS) return s;
    JxlColorEncoding colours;
    JxlColorEncodingSetToSRGB(&colours, JXL_FALSE);
    JxlEncoderSetColorEncoding(encoder.get(), &colours);
    JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(encoder.get(), nullptr);
    JxlEncoderSetFrameLossless(settings, JXL_TRUE);
    JxlEncoderFrameSettingsSetOption(settings, JXL_ENC_FRAME_SETTING_EFFORT, 1);
    const int channels = alpha ? 4 : 3;
    const JxlPixelFormat format{uint32_t(channels), sixteen ? JXL_TYPE_UINT16 : JXL_TYPE_UINT8,
                                JXL_NATIVE_ENDIAN, 0};
    std::vector<uint8_t> pixels;
    for (size_t i = 0; i < s.rgba.size(); ++i) {
        if (!alpha && i % 4 == 3) continue;
        if (sixteen) {
            const uint16_t v = uint16_t(s.rgba[i] * 257);
            pixels.push_back(uint8_t(v));
            pixels.push_back(uint8_t(v >> 8));
        } else {
            pixels.push_back(s.rgba[i]);
        }
    }
    if (JxlEncoderAddImageFrame(settings, &format, pixels.data(), pixels.size()) != JXL_ENC_SUCCESS)
        return s;
    s.bytes = jxl_output(encoder.get());
    return s;
}

// --- HEIF ---

namespace {

heif_error heif_append(heif_context*, const void* data, size_t size, void* userdata) {
    auto* out = static_cast<std::vector<uint8_t>*>(userdata);
    out->insert(out->end(), static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
}

}  // namespace

// An RGB HEIF image of the pixels; null when libheif cannot make one.
heif_image* heif_rgb(const std::vector<uint8_t>& rgb, int width, int height) {
    heif_image* image = nullptr;
    heif_image_create(width, height, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image);
    if (!image) return nullptr;
    heif_image_add_plane(image, heif_channel_interleaved, width, height, 8);
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < height; ++y)
        std::memcpy(plane + size_t(y) * stride, rgb.data() + size_t(y) * width * 3, size_t(width) * 3);
    return image;
}

// RGB pixels as HEIC or AVIF; empty, with the reason, when libheif cannot encode them.
// With a thumbnail item of at most `side` a side, made from `thumbnail` (RGB of
// thumbnail_width x thumbnail_height) when given, else from the picture.
std::vector<uint8_t> encode_heif(const std::vector<uint8_t>& rgb, int width, int height, bool avif,
                                 int quality, std::string& why, int side = 0,
                                 const std::vector<uint8_t>& thumbnail = {},
                                 int thumbnail_width = 0, int thumbnail_height = 0) {
    std::vector<uint8_t> out;
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    heif_error error = heif_context_get_encoder_for_format(
        context, avif ? heif_compression_AV1 : heif_compression_HEVC, &encoder);
    if (error.code != heif_error_Ok || !encoder) {
        why = std::string("libheif has no ") + (avif ? "AV1" : "HEVC") + " encoder";
        heif_context_free(context);
        return out;
    }
    heif_encoder_set_lossy_quality(encoder, quality);
    // The fastest settings: samples are for reading back, and a 48-MP one must not take minutes.
    heif_encoder_set_parameter(encoder, avif ? "speed" : "preset", avif ? "9" : "ultrafast");
    heif_image* image = heif_rgb(rgb, width, height);
    heif_image_handle* handle = nullptr;
    error = heif_context_encode_image(context, image, encoder, nullptr, &handle);
    if (error.code == heif_error_Ok && side > 0) {
        heif_image* small =
            thumbnail.empty() ? nullptr : heif_rgb(thumbnail, thumbnail_width, thumbnail_height);
        heif_image_handle* thumbnail_handle = nullptr;
        error = heif_context_encode_thumbnail(context, small ? small : image, handle, encoder,
                                              nullptr, side, &thumbnail_handle);
        if (thumbnail_handle) heif_image_handle_release(thumbnail_handle);
        if (small) heif_image_release(small);
    }
    if (handle) heif_image_handle_release(handle);
    if (error.code == heif_error_Ok) {
        heif_writer writer{1, heif_append};
        heif_context_write(context, &writer, &out);
    } else {
        why = std::string("libheif could not encode: ") + (error.message ? error.message : "");
    }
    heif_image_release(image);
    heif_encoder_release(encoder);
    heif_context_free(context);
    return out;
}

FormatSample make_heif(int width, int height, bool avif) {
    FormatSample s;
    s.width = width;
    s.height = height;
    s.rgba = pattern_rgba(width, height, false);
    const std::vector<uint8_t> rgb = rgb_of(s.rgba);
    s.bytes = encode_heif(rgb, width, height, avif, 95, s.skipped);
    return s;
}

FormatSample make_heif_with_thumbnail(int width, int height, int side,
                                      const std::vector<uint8_t>& thumbnail, int thumbnail_width,
                                      int thumbnail_height) {
    FormatSample s;
    s.width = width;
    s.height = height;
    s.rgba = pattern_rgba(width, height, false);
    const std::vector<uint8_t> rgb = rgb_of(s.rgba);
    s.bytes = encode_heif(rgb, width, height, false, 95, s.skipped, side, thumbnail,
                          thumbnail_width, thumbnail_height);
    return s;
}

}  // namespace vistrel::test

namespace vistrel::test {

namespace {

bool write_png_rgb(png_structp png, png_infop info, int width, int height, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_IHDR(png, info, uint32_t(width), uint32_t(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 3);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, info);
    return true;
}

}  // namespace

std::vector<uint8_t> encode_rgb_as(const std::string& format, const std::vector<uint8_t>& rgb,
                                   int width, int height, const std::string& scratch) {
    std::vector<uint8_t> out;
    const size_t stride = size_t(width) * 3;
    if (format == "png") {
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        png_set_write_fn(png, &out, png_append, png_flush);
        std::vector<png_bytep> rows;
        for (int y = 0; y < height; ++y)
            rows.push_back(const_cast<png_bytep>(rgb.data() + size_t(y) * stride));
        if (!write_png_rgb(png, info, width, height, rows.data())) out.clear();
        png_destroy_write_struct(&png, &info);
    } else if (format == "webp") {
        uint8_t* bytes = nullptr;
        const size_t size = WebPEncodeRGB(rgb.data(), width, height, int(stride), 90, &bytes);
        if (bytes) out.assign(bytes, bytes + size);
        WebPFree(bytes);
    } else if (format == "tiff") {
        TIFF* tiff = TIFFOpen(scratch.c_str(), "w");
        if (!tiff) return out;
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(width));
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(height));
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(3));
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(8));
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, uint32_t(16));
        bool ok = true;
        for (int y = 0; y < height && ok; ++y)
            ok = TIFFWriteScanline(tiff, const_cast<uint8_t*>(rgb.data() + size_t(y) * stride),
                                   uint32_t(y), 0) >= 0;
        TIFFClose(tiff);
        if (!ok) return out;
        std::ifstream in(scratch, std::ios::binary);
        out.assign(std::istreambuf_iterator<char>(in), {});
    } else if (format == "jxl") {
        JxlEncoderPtr encoder = JxlEncoderMake(nullptr);
        JxlBasicInfo info;
        JxlEncoderInitBasicInfo(&info);
        info.xsize = uint32_t(width);
        info.ysize = uint32_t(height);
        info.bits_per_sample = 8;
        if (JxlEncoderSetBasicInfo(encoder.get(), &info) != JXL_ENC_SUCCESS) return out;
        JxlColorEncoding colours;
        JxlColorEncodingSetToSRGB(&colours, JXL_FALSE);
        JxlEncoderSetColorEncoding(encoder.get(), &colours);
        JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(encoder.get(), nullptr);
        JxlEncoderSetFrameDistance(settings, 1.0f);
        JxlEncoderFrameSettingsSetOption(settings, JXL_ENC_FRAME_SETTING_EFFORT, 3);
        const JxlPixelFormat pixel{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
        if (JxlEncoderAddImageFrame(settings, &pixel, rgb.data(), rgb.size()) != JXL_ENC_SUCCESS)
            return out;
        out = jxl_output(encoder.get());
    } else if (format == "heic") {
        std::string why;
        out = encode_heif(rgb, width, height, false, 90, why);
    }
    return out;
}

}  // namespace vistrel::test
