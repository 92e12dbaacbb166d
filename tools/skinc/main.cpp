// skinc: compiles a skin source and its PNG art into a skin file and its 16-bit bitmap
// files.
//
//   skinc SOURCE -o OUTPUT.skin [--art DIR]
//
// Every declared picture NAME is read from DIR/NAME.png (or, failing that, an existing
// 16-bit DIR/NAME.bmp) and written as NAME.bmp beside the skin file; so is its art at twice
// the density, DIR/NAME@2x, when there is some (drawn on 192-dpi screens). DIR defaults to
// the source file's folder.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/file_stream.h"
#include "platform/path_parts.h"
#include "platform/text.h"
#include "render/bmp_file.h"
#include "skinc/png_art.h"
#include "skinc/skin_compiler.h"
#include "skinc/skin_source.h"

namespace fs = std::filesystem;
using namespace vistrel;

namespace {

int usage() {
    std::fprintf(stderr, "usage: skinc SOURCE -o OUTPUT.skin [--art DIR]\n");
    return 2;
}

int failure(const std::string& message) {
    std::fprintf(stderr, "skinc: %s\n", message.c_str());
    return 1;
}

// A picture name must stay inside the output folder.
bool safe_picture_name(const std::u16string& name) {
    if (name.empty() || is_separator(name[0])) return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of(u"/\\", start);
        if (end == std::u16string::npos) end = name.size();
        const std::u16string part = name.substr(start, end - start);
        if (part.empty() || part == u"." || part == u"..") return false;
        start = end + 1;
    }
    return true;
}

std::string slashes(const std::u16string& name) {
    std::string s = to_utf8(name);
    for (char& c : s)
        c = c == '\\' ? '/' : c;
    return s;
}

// Converts the art of `base` (DIR/base.png, else an existing DIR/base.bmp) into
// base.bmp beside the skin. Without art: an error when `required`, else false with no
// error (and a base.bmp left from an earlier build is removed).
bool convert_art(const std::string& base, bool required, const fs::path& art,
                 const fs::path& out_dir, Size& size, std::string& error) {
    const fs::path png = art / (base + ".png");
    const fs::path bmp = art / (base + ".bmp");
    const fs::path target = out_dir / (base + ".bmp");
    std::unique_ptr<Bitmap> bitmap;
    std::error_code ec;
    if (fs::exists(png, ec)) {
        bitmap = skinc::read_png_art(png.string(), error);
        if (!bitmap) return false;
    } else if (fs::exists(bmp, ec)) {
        FileStream in(from_utf8(bmp.string()), OpenMode::Read);
        bitmap = read_bmp_565(in);
        if (!bitmap) {
            error = bmp.string() + ": not a 16-bit bitmap";
            return false;
        }
    } else {
        if (required)
            error = "no art for picture \"" + base + "\" (" + png.string() + ")";
        else
            fs::remove(target, ec);
        return false;
    }
    size = bitmap->size();
    fs::create_directories(target.parent_path(), ec);
    if (!write_bmp_565(*bitmap, from_utf8(target.string()))) {
        error = "cannot write " + target.string();
        return false;
    }
    return true;
}

// A declared picture, and its art at twice the density ("NAME@2x") when there is some,
// which must be exactly twice the picture's size.
bool convert_picture(const std::u16string& name, const fs::path& art, const fs::path& out_dir,
                     std::string& error) {
    const std::string base = slashes(name);
    Size size, dense;
    if (!convert_art(base, true, art, out_dir, size, error)) return false;
    if (!convert_art(base + "@2x", false, art, out_dir, dense, error)) return error.empty();
    if (dense != Size{size.w * 2, size.h * 2}) {
        error = base + "@2x is " + std::to_string(dense.w) + " x " + std::to_string(dense.h) +
                ", not twice the size of " + base + " (" + std::to_string(size.w) + " x " +
                std::to_string(size.h) + ")";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string source_path, output, art;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "-o" || arg == "--art") && i + 1 < argc) {
            (arg == "-o" ? output : art) = argv[++i];
        } else if (!arg.empty() && arg[0] == '-') {
            return usage();
        } else if (source_path.empty()) {
            source_path = arg;
        } else {
            return usage();
        }
    }
    if (source_path.empty() || output.empty()) return usage();

    std::ifstream in(source_path, std::ios::binary);
    if (!in) return failure("cannot read " + source_path);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    skinc::SkinSource source;
    std::string error;
    if (!skinc::parse_skin_source(text, source, error)) return failure(source_path + ": " + error);
    std::vector<uint8_t> bytes;
    if (!skinc::compile_skin(source, bytes, error)) return failure(source_path + ": " + error);

    const fs::path out_path(output);
    const fs::path out_dir = out_path.has_parent_path() ? out_path.parent_path() : fs::path(".");
    const fs::path art_dir =
        art.empty() ? (fs::path(source_path).has_parent_path() ? fs::path(source_path).parent_path()
                                                               : fs::path("."))
                    : fs::path(art);
    std::error_code ec;
    fs::create_directories(out_dir, ec);
    for (const auto& picture : source.pictures) {
        if (!safe_picture_name(picture)) {
            return failure("picture name \"" + to_utf8(picture) + "\" leaves the skin's folder");
        }
        if (!convert_picture(picture, art_dir, out_dir, error)) return failure(error);
    }
    FileStream file(from_utf8(out_path.string()), OpenMode::Write);
    if (!file.is_open() || file.write(bytes.data(), bytes.size()) != bytes.size()) {
        file.close();
        fs::remove(out_path, ec);
        return failure("cannot write " + out_path.string());
    }
    return 0;
}
