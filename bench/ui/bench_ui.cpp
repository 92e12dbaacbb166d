// Element layout and drawing: a 300-element tree laid out from scratch and when nothing
// changed, a screen of 50 elements drawn with and without caches, a list scrolled by one
// pixel.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <string>

#include "platform/settings_store.h"
#include "render/render_surface.h"
#include "skin/properties.h"
#include "skinc/skin_compiler.h"
#include "skinc/skin_source.h"
#include "ui/element_kinds.h"
#include "ui/preview.h"
#include "ui/vlist.h"

namespace {

using namespace vistrel;

void quiet_trace() {
    static const std::string file = "/tmp/vistrel-bench-ui-" + std::to_string(getpid()) + ".reg";
    SettingsStore::use_file(file);
}

// Screens of the bench skin:
// - Big: 10 tables of 30 elements each (rows of a frame, a label, an image and a button
//   with three states, and spacers), 301 elements in all.
// - Fifty: 50 elements, the same rows; Cached is the same with every row cached.
// - List: a list of rows from the node Row.
std::string bench_source() {
    std::string s = "picture tile\n";
    const auto row = [](bool cached) {
        std::string r = " node { string type htable point design_size 0 24";
        r += cached ? " int cache 1\n" : "\n";
        r += "  node { string type color\n   color color #203040 point design_size 20 0 }\n";
        r += "  node { string type oldtext string text Name font font \"9 0 0 0 Sans\"\n"
             "   color color #FFFFFF int grow 1 string halign LEFT int table_ratio 1 }\n";
        r += "  node { string type image picture src tile 0 0 2 2 6 2 8 4 point design_size 16 16\n"
             "   string anchor_y CENTER }\n";
        r +=
            "  node { string type button point design_size 30 0\n"
            "   node { string type image string id \"#normal\" picture src tile 0 0 2 2 6 2 8 4 }\n"
            "   node { string type image string id \"#pressed\" picture src tile 0 0 0 0 8 4 8 4 "
            "}\n"
            "   node { string type color string id \"#disabled\" }\n  }\n";
        return r + " }\n";
    };
    s += "node Big { string type node\n";
    for (int t = 0; t < 10; ++t) {
        s += " node { string type vtable\n";
        for (int r = 0; r < 3; ++r)
            s += row(false);
        for (int n = 0; n < 5; ++n)
            s += "  node { string type node point design_size 0 1 }\n";
        s += " }\n";
    }
    s += "}\n";
    for (const bool cached : {false, true}) {
        s += cached ? "node Cached { string type node\n" : "node Fifty { string type node\n";
        s += " node { string type vtable\n";
        for (int r = 0; r < 5; ++r)
            s += row(cached);
        for (int n = 0; n < 8; ++n)
            s += "  node { string type node point design_size 0 1 }\n";
        s += " }\n}\n";
    }
    s += "node List { string type node node { string type vlist string id list } }\n";
    s += "node Row { string type node" + row(false) + "}\n";
    return s;
}

struct BenchSkin {
    ElementKindsScope kinds;
    Properties properties;
    BenchSkin() {
        quiet_trace();
        skinc::SkinSource source;
        std::string error;
        std::vector<uint8_t> bytes;
        if (!skinc::parse_skin_source(bench_source(), source, error) ||
            !skinc::compile_skin(source, bytes, error)) {
            fprintf(stderr, "bench skin: %s\n", error.c_str());
            abort();
        }
        SkinResources resources = SkinResources::system();
        resources.load_picture = [](const std::u16string&) {
            auto bitmap = Bitmap::create(8, 4);
            bitmap->clear(0x1234);
            PictureHandle handle;
            picture_from_bitmap(std::move(bitmap), handle);
            return handle;
        };
        auto skin = std::make_unique<PropertiesImpl>(std::move(bytes), u"bench.skin", ScreenInfo{},
                                                     resources);
        if (!properties.use_skin(std::move(skin))) abort();
    }
};

BenchSkin& skin() {
    static BenchSkin s;
    return s;
}

int count_elements(const Element& e) {
    int n = 1;
    for (const auto& c : e.children())
        n += count_elements(*c);
    return n;
}

// Forgets every measure in the tree, as a freshly built tree has none.
void invalidate_all(Element& e) {
    if (e.children().empty()) e.invalidate_layout();
    for (const auto& c : e.children())
        invalidate_all(*c);
}

void BM_LayoutFromScratch(benchmark::State& state) {
    Container root;
    load_from_skin(root, skin().properties, u"Big");
    state.counters["elements"] = count_elements(root);
    for (auto _ : state) {
        state.PauseTiming();
        invalidate_all(root);
        root.set_x_extent(0, 1);  // a new size, as on the first frame
        root.set_y_extent(0, 1);
        invalidate_all(root);
        state.ResumeTiming();
        root.set_x_extent(0, 240);
        root.set_y_extent(0, 320);
    }
}
BENCHMARK(BM_LayoutFromScratch);

void BM_LayoutUnchanged(benchmark::State& state) {
    Container root;
    build_preview(root, skin().properties, u"Big", {240, 320});
    for (auto _ : state) {
        root.set_x_extent(0, 240);
        root.set_y_extent(0, 320);
        benchmark::DoNotOptimize(root.layout_pending());
    }
}
BENCHMARK(BM_LayoutUnchanged);

// The root must lay out again but nothing below it changed: every element compares its
// new placement with the old one and stops.
void BM_LayoutRootPendingOnly(benchmark::State& state) {
    Container root;
    build_preview(root, skin().properties, u"Big", {240, 320});
    for (auto _ : state) {
        root.invalidate_layout();
        root.set_x_extent(0, 240);
        root.set_y_extent(0, 320);
    }
}
BENCHMARK(BM_LayoutRootPendingOnly);

void draw_screen(benchmark::State& state, const char16_t* name) {
    Container root;
    build_preview(root, skin().properties, name, {240, 320});
    RenderSurface surface({240, 320});
    state.counters["elements"] = count_elements(root);
    for (auto _ : state) {
        root.draw(surface, {0, 0});
        benchmark::ClobberMemory();
    }
}

void BM_Draw50Elements(benchmark::State& state) {
    draw_screen(state, u"Fifty");
}
BENCHMARK(BM_Draw50Elements);

void BM_Draw50ElementsCached(benchmark::State& state) {
    draw_screen(state, u"Cached");
}
BENCHMARK(BM_Draw50ElementsCached);

struct RowSource : VListSource {
    void item_clicked(VList&, int) override {}
    std::unique_ptr<Element> create_item(VList&, int) override {
        return create_element_tree(skin().properties, skin().properties.find_node(u"Row"));
    }
};

void BM_ListScrolledOnePixel(benchmark::State& state) {
    Container root;
    build_preview(root, skin().properties, u"List", {240, 320});
    auto* list = dynamic_cast<VList*>(root.find_child(u"list"));
    RowSource source;
    list->set_source(&source);
    list->reset(100000);
    root.set_x_extent(0, 240);
    root.set_y_extent(0, 320);
    RenderSurface surface({240, 320});
    double step = -1;
    int64_t moved = 0;
    for (auto _ : state) {
        // Down the list a pixel at a time, turning at the ends.
        if (list->above() > 90000) step = 1;
        if (list->above() < 0 && list->offset() >= 0) step = -1;
        list->set_offset(list->offset() + step);
        root.animate(0.001);
        root.draw(surface, {0, 0});
        ++moved;
    }
    state.counters["live_items"] = list->live_count();
}
BENCHMARK(BM_ListScrolledOnePixel);

}  // namespace
