#include <gtest/gtest.h>

#include <random>

#include "render/render_surface.h"
#include "skin/skin_errors.h"
#include "ui/preview.h"
#include "ui/vlist.h"
#include "ui_test_support.h"

namespace vistrel {
namespace {

// A skin with every kind, mutated byte by byte: whatever loads must build, lay out and
// draw without a crash or a hang (skin errors are fine).
const char* const kEveryKind = R"(
picture pic
node Screen { string type node
    node { string type htable int cache 1 int cache_alpha 100
        node { string type text string text "some words here" int wrap 1 int grow 1
               font font "9 0 0 0 Box" string id t
               node { string type image string id "#left" picture src pic 0 0 2 2 6 2 8 4 } }
        node { string type oldtext string text Label int grow 1 font font "9 0 0 0 Box" }
        node { string type image picture src pic 0 0 2 2 6 2 8 4 int grow 1 int table_ratio 2 }
    }
    node { string type vtable string anchor_x CENTER point design_size 30 30
        node { string type button string bind_key Enter
            node { string type color
                string id "#normal" } }
        node { string type checkbox int states 2
            node { string type button string id "#state_0" }
            node { string type button string id "#state_1" } }
        node { string type progress node { string type color
            string id "#line" string anchor_x MIN_SIDE } }
        node { string type label_edit
            node { string type edit string id "#edit" font font "9 0 0 0 Box" }
            node { string type oldtext string id "#text" } }
        node { string type vlist int grow 1 point scroll_border_min 0 3 }
        node { string type clip string visibility_animation flip
            node { string type color
                string anchor_y MAX_SIDE_NO_SIZE point design_size 5 500 } }
    }
}
)";

void exercise(Properties& properties) {
    const PropertiesImpl* skin = properties.skin();
    if (!skin || !skin->image()) return;
    for (const auto& [name, node] : skin->image()->top_level_nodes()) {
        Container root;
        try {
            if (!build_preview(root, properties, name, {120, 90})) continue;
        } catch (const dovado::SkinError&) {
            continue;
        }
        for (Size size : {Size{1, 1}, Size{0, 0}, Size{300, 40}, Size{120, 90}}) {
            root.set_x_extent(0, size.w);
            root.set_y_extent(0, size.h);
            root.animate(0.1);
            RenderSurface out = render_preview(root);
        }
        root.on_pointer_button(test::press_at(10, 10));
        root.on_pointer_move(test::move_to(12, 40));
        root.on_pointer_button(test::release_at(12, 40));
        root.on_key({key::Enter, true, true});
        root.on_text(u"typed");
    }
}

TEST(HostileSkins, MutatedSkinsBuildLayOutAndDrawSafely) {
    ElementKindsScope kinds;
    const std::vector<uint8_t> original = test::compile_source(kEveryKind);
    {
        Properties properties;
        test::use_source(properties, kEveryKind);
        Container root;
        ASSERT_NO_THROW(build_preview(root, properties, u"Screen", {120, 90}));
        EXPECT_GE(Element::live_count(), 20);
        exercise(properties);
    }
    std::mt19937 random(20261208);
    int loaded = 0;
    for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> bytes = original;
        const int changes = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < changes; ++i)
            bytes[random() % bytes.size()] = static_cast<uint8_t>(random());
        auto skin = std::make_unique<PropertiesImpl>(std::move(bytes), u"hostile.skin",
                                                     ScreenInfo{}, test::box_resources());
        Properties properties;
        if (!properties.use_skin(std::move(skin))) continue;
        ++loaded;
        exercise(properties);
    }
    EXPECT_GT(loaded, 50);
}

}  // namespace
}  // namespace vistrel
