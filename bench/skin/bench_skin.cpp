// Skin loading, attribute lookups, and measuring and drawing a line of text.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <string>

#include "platform/settings_store.h"
#include "render/render_surface.h"
#include "skin/properties.h"
#include "skin/text_draw.h"
#include "skinc/skin_compiler.h"
#include "skinc/skin_source.h"

namespace {

using namespace vistrel;

void quiet_trace() {
    static const std::string file = "/tmp/vistrel-bench-skin-" + std::to_string(getpid()) + ".reg";
    SettingsStore::use_file(file);
}

// A skin of 20 screens with 15 elements each (320 nodes), every node with the attributes
// an element reads.
std::vector<uint8_t> large_skin() {
    std::string text;
    for (int s = 0; s < 20; ++s) {
        text += "node Screen" + std::to_string(s) + " {\n string type node\n";
        for (int e = 0; e < 15; ++e) {
            text += " node {\n  string type text\n  string id item" + std::to_string(e) +
                    "\n  string text Key" + std::to_string(e) +
                    "\n  string anchor_x MIN_SIDE\n  string halign LEFT\n  int grow 1\n"
                    "  int cache 0\n  int table_ratio 1\n  point border_min 2 2\n"
                    "  point border_max 2 2\n  point design_size 100 20\n  color color #FFFFFF\n"
                    "  font font \"" +
                    std::to_string(9 + s % 4) + " " + std::to_string(s / 4 % 2) +
                    " 0 0 Tahoma\"\n }\n";
        }
        text += "}\n";
    }
    skinc::SkinSource source;
    std::string error;
    std::vector<uint8_t> bytes;
    skinc::parse_skin_source(text, source, error);
    skinc::compile_skin(source, bytes, error);
    return bytes;
}

// Loading without pictures and with fonts shared from one FontRep: the cost of reading
// and checking the file.
void BM_LoadSkin(benchmark::State& state) {
    quiet_trace();
    const std::vector<uint8_t> bytes = large_skin();
    SkinResources resources;
    const auto font = std::make_shared<FontRep>(FontDescription{}, nullptr);
    resources.make_font = [font](const FontDescription&, int) { return font; };
    for (auto _ : state) {
        PropertiesImpl skin(bytes, u"bench.skin", ScreenInfo{}, resources);
        if (!skin.loaded()) state.SkipWithError("skin did not load");
        benchmark::DoNotOptimize(skin.image());
    }
    state.SetLabel(std::to_string(bytes.size()) + " bytes, 320 nodes");
}
BENCHMARK(BM_LoadSkin)->Unit(benchmark::kMicrosecond);

// The same with its eight fonts created through fontconfig and FreeType.
void BM_LoadSkinWithFonts(benchmark::State& state) {
    quiet_trace();
    const std::vector<uint8_t> bytes = large_skin();
    const SkinResources resources = SkinResources::system();
    for (auto _ : state) {
        PropertiesImpl skin(bytes, u"bench.skin", ScreenInfo{}, resources);
        if (!skin.loaded() || skin.fonts().size() != 8) state.SkipWithError("skin did not load");
    }
}
BENCHMARK(BM_LoadSkinWithFonts)->Unit(benchmark::kMicrosecond);

void BM_AttributeLookup(benchmark::State& state) {
    quiet_trace();
    Properties properties;
    SkinResources resources;
    resources.make_font = [](const FontDescription& d, int) {
        return std::make_shared<FontRep>(d, nullptr);
    };
    properties.use_skin(
        std::make_unique<PropertiesImpl>(large_skin(), u"bench.skin", ScreenInfo{}, resources));
    const NodeHandle screen = properties.find_node(u"Screen7");
    const NodeHandle node = properties.child(screen, 9);
    for (auto _ : state) {
        benchmark::DoNotOptimize(properties.get_integer(node, u"table_ratio", 0));
        benchmark::DoNotOptimize(properties.get_point(node, u"design_size", {}));
        benchmark::DoNotOptimize(properties.get_string(node, u"halign", u"CENTER"));
        benchmark::DoNotOptimize(properties.get_string(node, u"missing", u""));
    }
    state.SetItemsProcessed(state.iterations() * 4);
}
BENCHMARK(BM_AttributeLookup);

void BM_FindTopLevelNode(benchmark::State& state) {
    quiet_trace();
    Properties properties;
    properties.use_skin(std::make_unique<PropertiesImpl>(large_skin(), u"bench.skin", ScreenInfo{},
                                                         SkinResources{}));
    for (auto _ : state)
        benchmark::DoNotOptimize(properties.find_node(u"Screen13"));
}
BENCHMARK(BM_FindTopLevelNode);

const FontRep& dejavu() {
    static const FontRep font = [] {
        FontDescription d;
        d.face = u"DejaVu Sans";
        d.size = 10;
        return FontRep(d);
    }();
    return font;
}

const char16_t kLine[] = u"The quick brown fox jumps over the lazy dog 0123456789";

void BM_MeasureLine(benchmark::State& state) {
    quiet_trace();
    const FontRep& font = dejavu();
    for (auto _ : state)
        benchmark::DoNotOptimize(measure_text(font, kLine, kTextSingleLine));
}
BENCHMARK(BM_MeasureLine);

void BM_DrawLine(benchmark::State& state) {
    quiet_trace();
    const FontRep& font = dejavu();
    RenderSurface surface(Size{480, 40});
    surface.fill_pixel({0, 0}, {480, 40}, 0xFFFF);
    for (auto _ : state) {
        Rect rect{0, 0, 480, 40};
        draw_text(surface, font, kLine, rect,
                  kTextCenter | kTextVCenter | kTextSingleLine | kTextEndEllipsis,
                  Colour{0, 0, 0, 255});
    }
}
BENCHMARK(BM_DrawLine);

void BM_DrawWrappedParagraph(benchmark::State& state) {
    quiet_trace();
    const FontRep& font = dejavu();
    RenderSurface surface(Size{240, 120});
    surface.fill_pixel({0, 0}, {240, 120}, 0xFFFF);
    std::u16string paragraph;
    for (int i = 0; i < 4; ++i)
        paragraph += kLine + std::u16string(u" ");
    for (auto _ : state) {
        Rect rect{0, 0, 240, 120};
        draw_text(surface, font, paragraph, rect, kTextWordBreak | kTextEndEllipsis,
                  Colour{0, 0, 0, 255});
    }
}
BENCHMARK(BM_DrawWrappedParagraph);

}  // namespace
