#include "menu_preview.h"

#include <vector>

#include "platform/text.h"
#include "skin/skin_errors.h"
#include "ui/menu.h"

namespace vistrel::tool {

class MenuPreview final : public MenuListener {
public:
    MenuPreview(Properties& properties, const std::u16string& node, std::u16string title,
                std::vector<MenuItem> entries)
        : m_title(std::move(title)),
          m_entries(std::move(entries)),
          m_menu(properties, *this, node, u"MenuElement") {}

    void open() { m_menu.open_menu(m_title, u"", true); }
    // A growing list that filled itself during a layout pass has not asked to be measured
    // again; ask for it.
    void settle() {
        if (VList* list = m_menu.list()) list->invalidate_layout();
    }
    Container& container() { return m_menu.container(); }

private:
    void on_menu_item(Menu&, const std::u16string& id, const std::u16string&,
                      std::vector<MenuItem>& entries) override {
        if (id == m_title) entries = m_entries;
    }

    std::u16string m_title;
    std::vector<MenuItem> m_entries;
    Menu m_menu;
};

namespace {

// One entry: ID[~TEXT][@NODE] with "*" (checked) and "!" (disabled) marks at its end.
MenuItem parse_entry(std::u16string item) {
    MenuItem entry;
    while (!item.empty() && (item.back() == u'*' || item.back() == u'!')) {
        (item.back() == u'*' ? entry.checked : entry.enabled) = item.back() == u'*';
        item.pop_back();
    }
    if (const size_t at = item.find(u'@'); at != std::u16string::npos) {
        entry.element_node = item.substr(at + 1);
        item.resize(at);
    }
    if (const size_t tilde = item.find(u'~'); tilde != std::u16string::npos) {
        entry.text = item.substr(tilde + 1);
        item.resize(tilde);
    }
    entry.id = item;
    return entry;
}

}  // namespace

std::shared_ptr<MenuPreview> open_menu_preview(Properties& properties, const std::u16string& node,
                                               const std::string& menu_text, int width, int height,
                                               std::string& error) {
    const std::u16string text = from_utf8(menu_text);
    const size_t equals = text.find(u'=');
    if (equals == std::u16string::npos || equals == 0 || equals + 1 == text.size()) {
        error = "--menu wants TITLE=ENTRY,ENTRY,...";
        return nullptr;
    }
    std::vector<MenuItem> entries;
    for (size_t start = equals + 1; start <= text.size();) {
        const size_t comma = std::min(text.find(u',', start), text.size());
        if (comma > start) entries.push_back(parse_entry(text.substr(start, comma - start)));
        start = comma + 1;
    }
    try {
        auto preview =
            std::make_shared<MenuPreview>(properties, node, text.substr(0, equals), entries);
        preview->open();
        Container& root = preview->container();
        // Let the opening animation run its course, laying out as the application does.
        for (int tick = 0; tick < 40; ++tick) {
            root.set_x_extent(0, width);
            root.set_y_extent(0, height);
            root.animate(0.1);
        }
        preview->settle();
        root.set_x_extent(0, width);
        root.set_y_extent(0, height);
        return preview;
    } catch (const dovado::SkinError& e) {
        error = e.what();
        return nullptr;
    }
}

Container& menu_container(MenuPreview& preview) {
    return preview.container();
}

}  // namespace vistrel::tool
