#pragma once
// "text": a block of text with its own line breaking. The text is cut into words; with
// wrap on, lines break between words, and a word wider than a whole line is cut after its
// last character that fits. Optional end pieces "#left" and "#right" sit at the two ends
// of the element (the lines run between them). The text can be dragged when it does not
// fit.

#include <string>
#include <vector>

#include "skin/font_rep.h"
#include "ui/element.h"
#include "ui/text_style.h"

namespace vistrel {

class TextElement : public Element {
public:
    explicit TextElement(Element* parent) : Element(parent) {}
    void load(Properties& properties, NodeHandle node) override;
    void set_text_by_id(std::u16string_view id, const std::u16string& text) override;
    void draw(Surface& surface, Point origin) override;
    void layout_x() override;
    void layout_y() override;
    void measure_x(Extent& extent) override;
    void measure_y(Extent& extent) override;
    void on_pointer_move(const PointerEvent& event) override;
    bool on_pointer_button(const PointerEvent& event) override;

    const std::u16string& text() const { return m_text; }
    std::u16string_view shown_text() const override { return m_text; }
    // Stores a new text and lays its lines out again at once; the parent is measured again
    // when the element grows with its text.
    virtual void set_text(const std::u16string& text);
    const TextStyle& style() const { return m_style; }
    void set_style(const TextStyle& style, bool grow_min = false);
    bool grow_min() const { return m_grow_min; }

    // The lines as laid out for the current width.
    int line_count() const { return static_cast<int>(m_lines.size()); }
    std::u16string line_text(int line) const;
    int line_height() const;
    // Widest line and total height at the current width; the width of the text unwrapped.
    int text_width() const { return m_laid_width; }
    int text_height() const { return m_laid_height; }
    int natural_width() const { return m_natural_width; }
    int scroll_x() const { return m_scroll_x; }
    double scroll_y() const { return m_scroll_y; }
    Element* left_piece() const { return m_left; }
    Element* right_piece() const { return m_right; }

protected:
    // One word and the white space before it; indices into the text.
    struct Run {
        size_t space_begin = 0;  // where the white space before it starts
        size_t begin = 0;
        size_t end = 0;
        int spaces = 0;      // spaces before it (a tab counts four)
        int line_feeds = 0;  // line feeds before it
        int width = 0;
    };
    // A word (or a piece of one) placed on a line.
    struct Piece {
        size_t begin = 0;
        size_t end = 0;
        int x = 0;
        int width = 0;
    };
    struct Line {
        std::vector<Piece> pieces;
        size_t start = 0;  // the first text position on the line
        int width = 0;
        bool wrapped = false;  // ended by the width, not by a line feed or the text's end
    };
    // Where a text position is: its line and its x within the text area.
    struct Spot {
        int line = 0;
        int x = 0;
    };

    // The text area: between the end pieces, in element coordinates.
    int area_left() const;
    int area_width() const;
    // The top of the first line and the left end of a line within the element, before
    // scrolling.
    int block_top() const;
    int line_left(int line) const;
    Spot spot_of(size_t index) const;
    // The text position nearest a point in element coordinates (scrolling included).
    size_t index_at(Point local) const;
    // Scrolls so that a point of the text area (before scrolling) is in view.
    void scroll_into_view(int x, int y, int h);
    void relayout_lines();
    void set_scroll(int x, double y);

    std::vector<Line> m_lines;

private:
    void prepare_runs();
    std::vector<Line> lay_out(int width, int* widest) const;
    void find_end_pieces();

    TextStyle m_style;
    bool m_grow_min = false;
    std::u16string m_text;
    std::vector<Run> m_runs;
    Element* m_left = nullptr;
    Element* m_right = nullptr;
    int m_laid_width = 0;
    int m_laid_height = 0;
    int m_natural_width = 0;
    int m_natural_height = 0;
    int m_widest_word = 0;
    int m_scroll_x = 0;
    double m_scroll_y = 0;
    bool m_dragging = false;
    Point m_last_pointer;
};

}  // namespace vistrel
