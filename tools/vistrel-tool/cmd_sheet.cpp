// vistrel-tool sheet: lays PNG pictures out in rows on one contact sheet (the skin gallery's
// overview of a skin).

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "platform/text.h"
#include "render/png_file.h"
#include "skinc/png_art.h"
#include "tool_command.h"

namespace vistrel::tool {
namespace {

int run_sheet(const std::vector<std::string>& args);

const ToolCommand kCommand{"sheet", "OUT.png [--gap N] PICTURE.png... [/ PICTURE.png...]...",
                           "lays PNG pictures out in rows (\"/\" starts a new row) on one "
                           "contact sheet",
                           run_sheet};
const ToolCommandRegistration kRegistration(kCommand);

constexpr Pixel kBackground = 0x8410;  // mid grey
constexpr int64_t kMaxSheetPixels = 100'000'000;

using Row = std::vector<std::unique_ptr<Bitmap>>;

void paste(Bitmap& sheet, const Bitmap& picture, int x, int y) {
    for (int row = 0; row < picture.height(); ++row)
        std::copy_n(picture.row(row), picture.width(), sheet.row(y + row) + x);
}

int run_sheet(const std::vector<std::string>& args) {
    Options options(args);
    long long gap = 8;
    const std::string gap_text = options.value("gap", "8");
    std::vector<std::string> p;
    if (options.bad() || !options.positional(p) || p.size() < 2 || !parse_int(gap_text, gap) ||
        gap < 0 || gap > 256)
        return usage_error(kCommand);
    std::vector<Row> rows(1);
    for (size_t i = 1; i < p.size(); ++i) {
        if (p[i] == "/") {
            if (!rows.back().empty()) rows.emplace_back();
            continue;
        }
        std::string error;
        std::unique_ptr<Bitmap> picture = skinc::read_png_art(p[i], error);
        if (!picture) {
            std::fprintf(stderr, "vistrel-tool sheet: %s: %s\n", p[i].c_str(), error.c_str());
            return kExitFailure;
        }
        rows.back().push_back(std::move(picture));
    }
    if (rows.back().empty()) rows.pop_back();
    if (rows.empty()) return usage_error(kCommand);
    const int g = static_cast<int>(gap);
    int64_t width = 0, height = g;
    for (const Row& row : rows) {
        int64_t w = g, h = 0;
        for (const auto& picture : row) {
            w += picture->width() + g;
            h = std::max<int64_t>(h, picture->height());
        }
        width = std::max(width, w);
        height += h + g;
    }
    if (width * height > kMaxSheetPixels) {
        std::fprintf(stderr, "vistrel-tool sheet: the sheet would be %lld x %lld pixels\n",
                     static_cast<long long>(width), static_cast<long long>(height));
        return kExitFailure;
    }
    const std::unique_ptr<Bitmap> sheet =
        Bitmap::create(static_cast<int>(width), static_cast<int>(height));
    if (!sheet) return kExitFailure;
    sheet->clear(kBackground);
    int y = g;
    for (const Row& row : rows) {
        int x = g, h = 0;
        for (const auto& picture : row) {
            paste(*sheet, *picture, x, y);
            x += picture->width() + g;
            h = std::max(h, picture->height());
        }
        y += h + g;
    }
    if (!write_png(*sheet, from_utf8(p[0]))) {
        std::fprintf(stderr, "vistrel-tool sheet: cannot write %s\n", p[0].c_str());
        return kExitFailure;
    }
    std::printf("%s: %lld x %lld\n", p[0].c_str(), static_cast<long long>(width),
                static_cast<long long>(height));
    return kExitOk;
}

}  // namespace
}  // namespace vistrel::tool
