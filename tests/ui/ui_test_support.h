#pragma once
// Helpers of the element tests: skins compiled from source text with block pictures and
// the block font (6 pixels a character, 10 a line), screens built from them, pointer
// events, and an element that records the input it gets.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "skin/properties.h"
#include "skin_test_support.h"
#include "ui/container.h"
#include "ui/element_kinds.h"

namespace vistrel::test {

// Loads skin source text into `properties` (pictures 8 x 4, the block font).
void use_source(Properties& properties, const std::string& source, int dpi = 96);

PointerEvent press_at(int x, int y, uint32_t time = 0);
PointerEvent release_at(int x, int y, uint32_t time = 0, bool cancelled = false);
PointerEvent move_to(int x, int y, uint32_t time = 0);

// An element that takes input from its root and records it.
class Probe : public Element {
public:
    Probe(Element* parent, bool takes_press);
    ~Probe() override;
    bool on_pointer_button(const PointerEvent& event) override;
    void on_pointer_move(const PointerEvent& event) override;
    bool on_key(const KeyEvent& event) override;
    bool on_text(const std::u16string& text) override;

    bool takes_press;
    std::vector<PointerEvent> buttons;
    std::vector<PointerEvent> moves;
    std::vector<KeyEvent> keys;
    std::u16string text;
};

// A screen built from a skin source.
class UiTest : public ::testing::Test {
protected:
    ElementKindsScope kinds;
    Properties properties;
    Container root;

    // Builds `root` from node `name` of `source` and lays it out at `size`.
    void build(const std::string& source, const char16_t* name, Size size = {240, 320});
    // Lays out again at `size` (a frame's layout).
    void frame(Size size);
    // The element with `id`, of kind T (a test failure when missing).
    template <typename T = Element>
    T& get(const char16_t* id) {
        T* element = dynamic_cast<T*>(root.find_child(id));
        if (!element) throw std::runtime_error("no such element");
        return *element;
    }
};

}  // namespace vistrel::test
