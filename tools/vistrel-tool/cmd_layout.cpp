// vistrel-tool layout: builds the element tree of a skin's top-level node, lays it out at a
// given size and prints one line per element. Also the shared part of vistrel-tool render.

#include <cstdio>
#include <algorithm>
#include <functional>

#include <memory>

#include "platform/text.h"
#include "skin/element_registry.h"
#include "menu_preview.h"
#include "tool_command.h"
#include "ui/basic_kinds.h"
#include "ui/button.h"
#include "ui/element_kinds.h"
#include "ui/preview.h"

namespace vistrel::tool {
namespace {

// The viewer's picture element ("bigpicture") belongs to the viewer screen, which the tool
// does not build; a stand-in fills its rectangle with its "empty_color" so that the viewer's
// node still shows as a screen.
class PictureStandIn final : public ColorElement {
public:
    explicit PictureStandIn(Element* parent) : ColorElement(parent) {}
    void load(Properties& properties, NodeHandle node) override {
        Element::load(properties, node);
        set_color(properties.get_color(node, u"empty_color", Colour{0, 0, 0, 255}));
    }
};

// What a list shows for a row that is neither pressed nor selected: the rows' state marks
// hidden (no list manages them here).
void show_rows_at_rest(Element& element) {
    for (const auto& child : element.children()) {
        const std::u16string& id = child->id();
        if (id == u"#vlist_pressed" || id == u"#vlist_selected") child->set_visible(false);
        show_rows_at_rest(*child);
    }
}

// Takes every "--set ID=TEXT" out of `args`; false when one is malformed. TEXT is a language
// key or plain text; the two characters \n in it stand for a line break.
bool take_texts(std::vector<std::string>& args,
                std::vector<std::pair<std::u16string, std::u16string>>& texts) {
    for (size_t i = 0; i < args.size();) {
        if (args[i] != "--set") {
            ++i;
            continue;
        }
        if (i + 1 >= args.size()) return false;
        const std::string& item = args[i + 1];
        const size_t equals = item.find('=');
        if (equals == std::string::npos || equals == 0) return false;
        std::string text = item.substr(equals + 1);
        for (size_t at = 0; (at = text.find("\\n", at)) != std::string::npos;)
            text.replace(at, 2, "\n");
        texts.emplace_back(from_utf8(item.substr(0, equals)), from_utf8(text));
        args.erase(args.begin() + static_cast<ptrdiff_t>(i),
                   args.begin() + static_cast<ptrdiff_t>(i) + 2);
    }
    return true;
}

// Gives the element of `id` (a button's caption, or a text element) the text for `key`.
void set_text(Container& root, const Properties& properties, const std::u16string& id,
              const std::u16string& key) {
    Element* element = root.find_child(id);
    if (!element) return;
    const std::u16string text = properties.text_for(key);
    if (auto* button = dynamic_cast<Button*>(element))
        button->set_text(text);
    else
        element->set_text_by_id(id, text);
}

std::unique_ptr<KindRegistration> picture_stand_in() {
    if (ElementRegistry::global().is_registered(u"bigpicture")) return nullptr;
    return std::make_unique<KindRegistration>(
        u"bigpicture", [](Element* parent) -> Element* { return new PictureStandIn(parent); });
}

}  // namespace

// Runs a command of the form "FILE.skin NODE WIDTH HEIGHT [EXTRA...] [--dpi N] [--lang FILE]":
// with the texts of the language file (keys shown as they are without one), builds the
// screen and hands it, with the `extra` arguments after HEIGHT, to `use`. HEIGHT 0 gives
// the node the height it asks for at that width (a list row, a menu entry); each
// "--set ID=TEXT" shows TEXT (translated when it is a key) in the element ID, as a screen
// would. List rows are shown at rest, neither pressed nor selected. "--menu TITLE=ENTRY,..." opens NODE
// as a menu on sample entries (see menu_preview.h).
int run_preview_command(
    const ToolCommand& command, const std::vector<std::string>& args, size_t extra,
    const std::function<int(Container&, const std::vector<std::string>&)>& use) {
    std::vector<std::string> rest = args;
    std::vector<std::pair<std::u16string, std::u16string>> texts;
    if (!take_texts(rest, texts)) return usage_error(command);
    Options options(rest);
    long long dpi = 0, width = 0, height = 0;
    const std::string dpi_text = options.value("dpi", "96");
    const std::string language = options.value("lang");
    const std::string menu = options.value("menu");
    std::vector<std::string> p;
    if (options.bad() || !options.positional(p) || p.size() != 4 + extra ||
        !parse_int(dpi_text, dpi) || dpi < 1 || dpi > 10000 || !parse_int(p[2], width) ||
        !parse_int(p[3], height) || width < 1 || height < 0 || width > 8192 || height > 8192)
        return usage_error(command);

    ElementKindsScope kinds;
    const std::unique_ptr<KindRegistration> stand_in = picture_stand_in();
    Properties properties;
    if (!language.empty() && !properties.load_language(from_utf8(language))) {
        std::fprintf(stderr, "vistrel-tool %s: cannot open %s\n", command.name, language.c_str());
        return kExitFailure;
    }
    std::string error;
    if (!menu.empty()) {
        // A menu builds its own screen from the node.
        ScreenInfo screen;
        screen.width = static_cast<int>(width);
        screen.height = static_cast<int>(height);
        screen.dpi = static_cast<int>(dpi);
        if (height == 0 || !properties.load_skin(from_utf8(p[0]), screen)) {
            std::fprintf(stderr, "vistrel-tool %s: %s: %s\n", command.name, p[0].c_str(),
                         height == 0 ? "a menu needs a height" : "the skin does not load");
            return kExitFailure;
        }
        const auto preview = open_menu_preview(properties, from_utf8(p[1]), menu,
                                               static_cast<int>(width), static_cast<int>(height),
                                               error);
        if (!preview) {
            std::fprintf(stderr, "vistrel-tool %s: %s: %s\n", command.name, p[0].c_str(),
                         error.c_str());
            return kExitFailure;
        }
        return use(menu_container(*preview), {p.begin() + 4, p.end()});
    }
    Container root;
    if (!open_preview(properties, root, from_utf8(p[0]), static_cast<int>(dpi), from_utf8(p[1]),
                      {static_cast<int>(width), height == 0 ? 1 : static_cast<int>(height)},
                      error)) {
        std::fprintf(stderr, "vistrel-tool %s: %s: %s\n", command.name, p[0].c_str(),
                     error.c_str());
        return kExitFailure;
    }
    show_rows_at_rest(root);
    for (const auto& [id, key] : texts)
        set_text(root, properties, id, key);
    root.set_x_extent(0, static_cast<int>(width));
    const int h = height == 0 ? std::clamp(root.extent_y().preferred, 1, 8192)
                              : static_cast<int>(height);
    root.set_y_extent(0, h);
    return use(root, {p.begin() + 4, p.end()});
}

namespace {

int run_layout(const std::vector<std::string>& args);

const ToolCommand kCommand{"layout", "FILE.skin NODE WIDTH HEIGHT [--dpi N] [--lang FILE.lng] [--set ID=TEXT]... [--menu TITLE=ENTRY,...]",
                           "lays out the element tree of a top-level skin node at a size and "
                           "prints its elements",
                           run_layout};
const ToolCommandRegistration kRegistration(kCommand);

int run_layout(const std::vector<std::string>& args) {
    return run_preview_command(kCommand, args, 0, [](Container& root, const auto&) {
        std::u16string lines;
        root.dump_to(lines);
        const std::string text = to_utf8(lines);
        std::fwrite(text.data(), 1, text.size(), stdout);
        return kExitOk;
    });
}

}  // namespace
}  // namespace vistrel::tool
