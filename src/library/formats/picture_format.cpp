#include "library/formats/picture_format.h"

#include <array>
#include <cstring>

namespace vistrel {

namespace {

bool starts(std::span<const uint8_t> bytes, size_t at, const char* mark) {
    const size_t n = std::strlen(mark);
    return bytes.size() >= at + n && std::memcmp(bytes.data() + at, mark, n) == 0;
}

char16_t lower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? char16_t(c - u'A' + u'a') : c;
}

// The extension after the last dot, in lower case; empty when there is none.
std::u16string extension(std::u16string_view name) {
    const size_t dot = name.find_last_of(u'.');
    const size_t slash = name.find_last_of(u"/\\");
    if (dot == std::u16string_view::npos || (slash != std::u16string_view::npos && dot < slash) ||
        dot + 1 == name.size() || dot == 0 || (slash != std::u16string_view::npos && dot == slash + 1))
        return {};
    std::u16string ext(name.substr(dot + 1));
    for (char16_t& c : ext)
        c = lower(c);
    return ext;
}

constexpr std::array<std::u16string_view, 9> kRawExtensions{u"cr2", u"cr3", u"nef", u"arw", u"dng",
                                                           u"orf", u"rw2", u"raf", u"pef"};
constexpr std::array<std::u16string_view, 12> kOtherExtensions{
    u"jpg", u"jpeg", u"png", u"gif", u"webp", u"tif", u"tiff", u"jxl", u"heic", u"heif", u"hif",
    u"avif"};

bool is_raw_extension(const std::u16string& ext) {
    for (const std::u16string_view raw : kRawExtensions)
        if (ext == raw) return true;
    return false;
}

// ISO base media files (HEIF, AVIF, CR3) start with an "ftyp" box naming their brands.
PictureFormat from_brands(std::span<const uint8_t> bytes) {
    if (!starts(bytes, 4, "ftyp") || bytes.size() < 16) return PictureFormat::Unknown;
    const size_t box = (size_t(bytes[0]) << 24) | (size_t(bytes[1]) << 16) |
                       (size_t(bytes[2]) << 8) | bytes[3];
    const size_t end = std::min(bytes.size(), std::max<size_t>(box, 16));
    bool heif = false, avif = false;
    for (size_t at = 8; at + 4 <= end; at += 4) {
        if (at == 12) continue;  // the minor version
        const std::span<const uint8_t> brand = bytes.subspan(at, 4);
        if (starts(brand, 0, "crx ")) return PictureFormat::Raw;
        for (const char* b : {"heic", "heix", "heim", "heis", "hevc", "hevx", "mif1", "msf1",
                              "mif2", "miaf"})
            heif = heif || starts(brand, 0, b);
        for (const char* b : {"avif", "avis"})
            avif = avif || starts(brand, 0, b);
    }
    if (avif) return PictureFormat::Avif;
    return heif ? PictureFormat::Heif : PictureFormat::Unknown;
}

}  // namespace

PictureFormat picture_format(std::span<const uint8_t> b, std::u16string_view name) {
    if (b.size() >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return PictureFormat::Jpeg;
    if (starts(b, 0, "\x89PNG\r\n\x1a\n")) return PictureFormat::Png;
    if (starts(b, 0, "GIF87a") || starts(b, 0, "GIF89a")) return PictureFormat::Gif;
    if (starts(b, 0, "RIFF") && starts(b, 8, "WEBP")) return PictureFormat::WebP;
    if (starts(b, 0, "\xFF\x0A")) return PictureFormat::JpegXl;
    if (b.size() >= 12 && std::memcmp(b.data(), "\0\0\0\x0CJXL \r\n\x87\n", 12) == 0)
        return PictureFormat::JpegXl;
    if (starts(b, 0, "FUJIFILMCCD-RAW")) return PictureFormat::Raw;
    if (starts(b, 0, "IIRO") || starts(b, 0, "IIRS") || starts(b, 0, "MMOR"))
        return PictureFormat::Raw;  // Olympus
    if (starts(b, 0, "IIU\0") && b.size() >= 4) return PictureFormat::Raw;  // Panasonic
    const bool tiff = (starts(b, 0, "II") && b.size() >= 4 && b[2] == 42 && b[3] == 0) ||
                      (starts(b, 0, "MM") && b.size() >= 4 && b[2] == 0 && b[3] == 42);
    if (tiff) {
        if (starts(b, 8, "CR")) return PictureFormat::Raw;  // Canon CR2
        return is_raw_extension(extension(name)) ? PictureFormat::Raw : PictureFormat::Tiff;
    }
    return from_brands(b);
}

PictureFormat picture_format(InputStream& input, std::u16string_view name) {
    std::array<uint8_t, kFormatProbeSize> start{};
    if (!input.is_open() || !input.seek(0)) return PictureFormat::Unknown;
    const size_t got = input.read(start.data(), start.size());
    input.seek(0);
    return picture_format(std::span<const uint8_t>(start.data(), got), name);
}

const char* format_name(PictureFormat format) {
    switch (format) {
        case PictureFormat::Unknown:
            return "unknown";
        case PictureFormat::Jpeg:
            return "JPEG";
        case PictureFormat::Png:
            return "PNG";
        case PictureFormat::Gif:
            return "GIF";
        case PictureFormat::WebP:
            return "WebP";
        case PictureFormat::Tiff:
            return "TIFF";
        case PictureFormat::JpegXl:
            return "JPEG XL";
        case PictureFormat::Heif:
            return "HEIF";
        case PictureFormat::Avif:
            return "AVIF";
        case PictureFormat::Raw:
            return "RAW";
    }
    return "unknown";
}

bool is_picture_name(std::u16string_view name) {
    const std::u16string ext = extension(name);
    if (ext.empty()) return false;
    for (const std::u16string_view known : kOtherExtensions)
        if (ext == known) return true;
    return is_raw_extension(ext);
}

bool is_jpeg_name(std::u16string_view name) {
    const std::u16string ext = extension(name);
    return ext == u"jpg" || ext == u"jpeg";
}

}  // namespace vistrel
