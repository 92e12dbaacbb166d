#pragma once
// The program's own screen until the skin-built screens take over: a grid of coloured
// tiles to move through with the arrow keys or the pointer; Enter (or a tap on the
// chosen tile) opens a panel over it, which any key or tap closes.

#include "shell/application.h"
#include "shell/screen.h"

namespace vistrel {

// A screen with the bookkeeping every screen here needs.
class SimpleScreen : public Screen {
public:
    void set_visible(bool visible) override { m_visible = visible; }
    void show_animated(bool show) override { set_visible(show); }
    void set_x_extent(int x, int width) override;
    void set_y_extent(int y, int height) override;
    void animate(double seconds) override {}
    void on_pointer_move(const PointerEvent& event) override {}
    bool on_pointer_button(const PointerEvent& event) override { return false; }
    bool on_key(const KeyEvent& event) override { return false; }
    bool on_text(const std::u16string& text) override { return false; }
    ScreenAnimation* animation() override { return nullptr; }
    bool dirty() const override { return m_dirty; }
    bool layout_pending() const override { return false; }

    bool visible() const { return m_visible; }

protected:
    Rect m_rect;
    bool m_visible = false;
    bool m_dirty = true;
};

class PanelScreen final : public SimpleScreen {
public:
    void draw(Surface& surface, Point origin) override;
    bool on_pointer_button(const PointerEvent& event) override;
    bool on_key(const KeyEvent& event) override;
};

class HomeScreen final : public SimpleScreen, public ApplicationListener {
public:
    static constexpr int kColumns = 3;
    static constexpr int kRows = 4;

    void draw(Surface& surface, Point origin) override;
    void animate(double seconds) override;
    bool on_pointer_button(const PointerEvent& event) override;
    bool on_key(const KeyEvent& event) override;
    bool on_text(const std::u16string& text) override;
    std::vector<Rect> input_rects() const override;

    void on_command_line(const std::u16string& text) override;
    bool on_close_request() override { return true; }
    void on_screen_pushed(Screen* screen) override {}
    void on_screen_removed(Screen* screen, int flag) override {}
    void on_resolution_changed() override;
    void on_help() override {}
    void on_deactivated() override {}
    void on_activated() override {}
    bool on_key_filter(const KeyEvent& event) override { return false; }

    int selected() const { return m_selected; }
    // The tile's rectangle in client coordinates.
    Rect tile_rect(int index) const;

private:
    void select(int index);
    void open_panel();

    PanelScreen m_panel;
    int m_selected = 0;
    double m_pulse = 0;  // seconds left of the selection's pulse
    int m_typed = 0;     // characters typed so far, shown as a bar
};

}  // namespace vistrel
