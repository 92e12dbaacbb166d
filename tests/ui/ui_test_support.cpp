#include "ui_test_support.h"

#include "ui/preview.h"

namespace vistrel::test {

void use_source(Properties& properties, const std::string& source, int dpi) {
    ScreenInfo screen;
    screen.dpi = dpi;
    auto skin = std::make_unique<PropertiesImpl>(compile_source(source), u"test.skin", screen,
                                                 box_resources());
    ASSERT_TRUE(skin->loaded()) << skin->error();
    ASSERT_TRUE(properties.use_skin(std::move(skin)));
}

PointerEvent press_at(int x, int y, uint32_t time) {
    PointerEvent e;
    e.x = x;
    e.y = y;
    e.time = time;
    e.pressed = true;
    return e;
}

PointerEvent release_at(int x, int y, uint32_t time, bool cancelled) {
    PointerEvent e;
    e.x = x;
    e.y = y;
    e.time = time;
    e.cancelled = cancelled;
    return e;
}

PointerEvent move_to(int x, int y, uint32_t time) {
    PointerEvent e;
    e.x = x;
    e.y = y;
    e.time = time;
    return e;
}

Probe::Probe(Element* parent, bool takes) : Element(parent), takes_press(takes) {
    if (root()) root()->add_interactive(this);
}

Probe::~Probe() {
    if (root()) root()->remove_interactive(this);
}

bool Probe::on_pointer_button(const PointerEvent& event) {
    buttons.push_back(event);
    return takes_press;
}

void Probe::on_pointer_move(const PointerEvent& event) {
    moves.push_back(event);
}

bool Probe::on_key(const KeyEvent& event) {
    keys.push_back(event);
    return true;
}

bool Probe::on_text(const std::u16string& t) {
    text += t;
    return true;
}

void UiTest::build(const std::string& source, const char16_t* name, Size size) {
    use_source(properties, source);
    ASSERT_TRUE(build_preview(root, properties, name, size));
}

void UiTest::frame(Size size) {
    root.set_x_extent(0, size.w);
    root.set_y_extent(0, size.h);
}

}  // namespace vistrel::test
