#include "ui/text_element.h"

#include <algorithm>
#include <cmath>

namespace vistrel {

namespace {

bool is_space(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

}  // namespace

void TextElement::load(Properties& properties, NodeHandle node) {
    Element::load(properties, node);
    m_style.load(properties, node);
    m_grow_min = properties.get_integer(node, u"grow_min", 0) != 0;
    if (m_grow_min) m_style.grow = true;
    find_end_pieces();
    m_text = load_text(properties, node);
    set_scroll(0, 0);
    prepare_runs();
}

void TextElement::find_end_pieces() {
    m_left = find_child(u"#left");
    m_right = find_child(u"#right");
    if (m_left) m_left->set_observer(nullptr);
    if (m_right) m_right->set_observer(nullptr);
}

void TextElement::set_text_by_id(std::u16string_view id, const std::u16string& text) {
    if (id == this->id()) set_text(text);
    Element::set_text_by_id(id, text);
}

void TextElement::set_text(const std::u16string& text) {
    if (text == m_text) return;
    m_text = text;
    m_scroll_x = 0;
    m_scroll_y = 0;
    prepare_runs();
    if (m_style.grow)
        invalidate_layout();
    else
        mark_dirty();
}

void TextElement::set_style(const TextStyle& style, bool grow_min) {
    m_style = style;
    m_grow_min = grow_min;
    if (grow_min) m_style.grow = true;
    prepare_runs();
    invalidate_layout();
}

int TextElement::line_height() const {
    return m_style.font ? m_style.font->line_height() : 0;
}

std::u16string TextElement::line_text(int line) const {
    std::u16string out;
    if (line < 0 || line >= line_count()) return out;
    for (const Piece& p : m_lines[static_cast<size_t>(line)].pieces) {
        if (!out.empty() && p.end > p.begin) out += u' ';
        out.append(m_text, p.begin, p.end - p.begin);
    }
    return out;
}

// --- Line breaking ---

void TextElement::prepare_runs() {
    m_runs.clear();
    m_widest_word = 0;
    const FontRep* font = m_style.font.get();
    Run run;
    bool pending = false;
    const size_t n = m_text.size();
    for (size_t i = 0; i < n;) {
        const char16_t c = m_text[i];
        if (!pending) run.space_begin = i;
        if (c == u'\t') {
            run.spaces += 4;
        } else if (c == u' ') {
            run.spaces += 1;
        } else if (c == u'\n' || c == u'\r') {
            if (!m_style.wrap)
                run.spaces += 1;
            else if (c == u'\n')
                run.line_feeds += 1;
        } else {
            run.begin = i;
            while (i < n && !is_space(m_text[i]))
                ++i;
            run.end = i;
            if (!pending) run.space_begin = run.begin;
            run.width =
                font
                    ? font->text_width(std::u16string_view(m_text).substr(run.begin, i - run.begin))
                    : 0;
            m_widest_word = std::max(m_widest_word, run.width);
            m_runs.push_back(run);
            run = Run{};
            pending = false;
            continue;
        }
        pending = true;
        ++i;
    }
    if (pending) {
        // White space at the end still has a place (the caret may stand behind it).
        run.begin = run.end = n;
        m_runs.push_back(run);
    }
    const std::vector<Line> natural = lay_out(-1, &m_natural_width);
    m_natural_height = static_cast<int>(natural.size()) * line_height();
    relayout_lines();
}

std::vector<TextElement::Line> TextElement::lay_out(int width, int* widest) const {
    std::vector<Line> lines;
    *widest = 0;
    const FontRep* font = m_style.font.get();
    if (!font || m_runs.empty()) return lines;
    const bool wrap = m_style.wrap && width >= 0;
    const int space = font->text_width(u" ");
    const std::u16string_view text(m_text);
    lines.emplace_back();
    int x = 0;
    // A line ended by the width starts at the next piece placed; one ended by a line feed
    // right after it.
    auto end_line = [&](bool wrapped, size_t next_start) {
        Line& line = lines.back();
        line.width = x;
        line.wrapped = wrapped;
        *widest = std::max(*widest, x);
        lines.emplace_back();
        lines.back().start = next_start;
        x = 0;
    };
    for (const Run& run : m_runs) {
        if (run.line_feeds > 0) {
            for (size_t k = run.space_begin; k < run.begin && k < text.size(); ++k)
                if (text[k] == u'\n') end_line(false, k + 1);
        }
        int gap = run.spaces * space;
        if (!wrap) {
            lines.back().pieces.push_back({run.begin, run.end, x + gap, run.width});
            x += gap + run.width;
            continue;
        }
        if (!lines.back().pieces.empty() && x + gap + run.width > width) {
            end_line(true, run.begin);
            gap = 0;
        }
        // White space at the start of a line keeps only what leaves room for the word.
        if (lines.back().pieces.empty() && x + gap + run.width > width)
            gap = std::max(0, width - x - run.width);
        if (x + gap + run.width <= width) {
            lines.back().pieces.push_back({run.begin, run.end, x + gap, run.width});
            x += gap + run.width;
            continue;
        }
        // Wider than a whole line: cut after the last character that fits.
        size_t begin = run.begin;
        while (begin < run.end) {
            const std::u16string_view rest = text.substr(begin, run.end - begin);
            const size_t fits = font->fit(rest, width - x - gap);
            if (fits == 0) {
                if (lines.back().pieces.empty()) {
                    // Not even one character fits on a fresh line: stop here.
                    lines.pop_back();
                    return lines;
                }
                end_line(true, begin);
                gap = 0;
                continue;
            }
            const int w = font->text_width(rest.substr(0, fits));
            lines.back().pieces.push_back({begin, begin + fits, x + gap, w});
            x += gap + w;
            gap = 0;
            begin += fits;
            if (begin < run.end) end_line(true, begin);
        }
    }
    lines.back().width = x;
    *widest = std::max(*widest, x);
    return lines;
}

void TextElement::relayout_lines() {
    m_lines = lay_out(m_style.wrap ? std::max(area_width(), 0) : -1, &m_laid_width);
    m_laid_height = static_cast<int>(m_lines.size()) * line_height();
}

// --- Geometry ---

int TextElement::area_left() const {
    return m_left ? std::max(0, m_left->width()) : 0;
}

int TextElement::area_width() const {
    const int l = m_left ? m_left->width() : 0;
    const int r = m_right ? m_right->width() : 0;
    return std::max(0, width() - l - r);
}

int TextElement::block_top() const {
    switch (m_style.valign) {
        case VAlign::Top:
            return 0;
        case VAlign::Bottom:
            return height() - m_laid_height;
        default:
            return (height() - m_laid_height) / 2;
    }
}

int TextElement::line_left(int line) const {
    if (line < 0 || line >= line_count()) return 0;
    const int w = m_lines[static_cast<size_t>(line)].width;
    switch (m_style.halign) {
        case HAlign::Center:
            return (area_width() - w) / 2;
        case HAlign::Right:
            return area_width() - w;
        default:
            return 0;
    }
}

TextElement::Spot TextElement::spot_of(size_t index) const {
    const FontRep* font = m_style.font.get();
    if (!font || m_lines.empty()) return {};
    const std::u16string_view text(m_text);
    const int space = font->text_width(u" ");
    int line = 0;
    for (int i = 1; i < line_count(); ++i) {
        if (m_lines[static_cast<size_t>(i)].start > index) break;
        line = i;
    }
    const Line& l = m_lines[static_cast<size_t>(line)];
    int previous_end = 0;
    for (const Piece& p : l.pieces) {
        if (index <= p.end) {
            if (index >= p.begin)
                return {line, p.x + font->text_width(text.substr(p.begin, index - p.begin))};
            const int back = static_cast<int>(p.begin - index) * space;
            return {line, std::max(previous_end, p.x - back)};
        }
        previous_end = p.x + p.width;
    }
    if (l.pieces.empty()) return {line, 0};
    const Piece& last = l.pieces.back();
    return {line, last.x + last.width +
                      static_cast<int>(std::min<size_t>(index - last.end, 4096)) * space};
}

size_t TextElement::index_at(Point local) const {
    const FontRep* font = m_style.font.get();
    if (!font || m_lines.empty()) return m_text.size();
    const int lh = std::max(line_height(), 1);
    const int y = local.y - block_top() + static_cast<int>(std::lround(m_scroll_y));
    const int line = std::clamp(y / lh - (y < 0 ? 1 : 0), 0, line_count() - 1);
    const int x = local.x - area_left() - line_left(line) - m_scroll_x;
    const Line& l = m_lines[static_cast<size_t>(line)];
    if (l.pieces.empty()) return std::min(l.start, m_text.size());
    const std::u16string_view text(m_text);
    size_t best = l.pieces.front().begin;
    int best_distance = std::abs(x - l.pieces.front().x);
    for (const Piece& p : l.pieces) {
        int px = p.x;
        for (size_t i = p.begin; i <= p.end;) {
            const int d = std::abs(x - px);
            if (d < best_distance) {
                best = i;
                best_distance = d;
            }
            if (i == p.end) break;
            size_t next = i;
            next_code_point(text, next);
            px += font->text_width(text.substr(i, next - i));
            i = next;
        }
    }
    return best;
}

void TextElement::set_scroll(int x, double y) {
    if (x == m_scroll_x && y == m_scroll_y) return;
    m_scroll_x = x;
    m_scroll_y = y;
    mark_dirty();
}

void TextElement::scroll_into_view(int x, int y, int h) {
    int sx = m_scroll_x;
    double sy = m_scroll_y;
    const int aw = area_width();
    if (x + sx < 0) sx = -x;
    if (x + sx >= aw) sx = aw - 1 - x;
    const int top = block_top();
    if (top + y - sy < 0) sy = top + y;
    if (top + y + h - sy > height()) sy = top + y + h - height();
    set_scroll(sx, sy);
}

// --- Layout ---

void TextElement::layout_x() {
    Element::layout_x();
    int bl = m_left ? m_left->extent_x().preferred : 0;
    int br = m_right ? m_right->extent_x().preferred : 0;
    const int w = width();
    if (w > 0 && w < bl + br) {
        bl = static_cast<int>(std::floor(double(w) * bl / (bl + br) + 0.5));
        br = w - bl;
    }
    if (m_left) m_left->set_x_extent(x(), bl);
    if (m_right) m_right->set_x_extent(x() + w - br, br);
    const int old_height = m_laid_height;
    relayout_lines();
    // A new width may give the text another height: the y pass of this frame must see it.
    if (m_laid_height != old_height && m_style.grow) invalidate_height();
}

void TextElement::layout_y() {
    Element::layout_y();
    for (Element* piece : {m_left, m_right})
        if (piece) place_in(*piece, Axis::Y, y(), height(), piece->extent_y().preferred);
}

void TextElement::measure_x(Extent& extent) {
    Element::measure_x(extent);
    if (!m_style.grow) return;
    const int ends =
        (m_left ? m_left->extent_x().preferred : 0) + (m_right ? m_right->extent_x().preferred : 0);
    extent.preferred = std::max(extent.preferred, m_natural_width + ends);
    // Wrapped text can narrow down to its widest word; unwrapped text needs its whole width.
    const int least = m_style.wrap ? m_widest_word : m_natural_width;
    if (m_grow_min) extent.minimum = std::max(extent.minimum, least + ends);
}

void TextElement::measure_y(Extent& extent) {
    Element::measure_y(extent);
    if (!m_style.grow) return;
    const int th = m_laid_height;
    extent.preferred = std::max(extent.preferred, th);
    const int h = m_style.wrap && !m_grow_min ? std::min(th, 20) : th;
    extent.minimum = std::max(extent.minimum, h);
}

// --- Drawing ---

void TextElement::draw(Surface& surface, Point origin) {
    Element::draw(surface, origin);
    const FontRep* font = m_style.font.get();
    if (!font || m_lines.empty()) return;
    ClipScope clip(surface, origin, size());
    const Rect bounds = surface.clip();
    if (bounds.empty()) return;
    const std::u16string_view text(m_text);
    const int lh = line_height();
    const int top = origin.y + block_top() - static_cast<int>(std::lround(m_scroll_y));
    const int aw = area_width();
    for (int i = 0; i < line_count(); ++i) {
        const int y = top + i * lh;
        if (y + lh <= bounds.top) continue;
        if (y >= bounds.bottom) break;
        const Line& line = m_lines[static_cast<size_t>(i)];
        const int left = origin.x + area_left() + line_left(i) + m_scroll_x;
        const int gaps = static_cast<int>(line.pieces.size()) - 1;
        const bool justify = m_style.halign == HAlign::Justify && line.wrapped && gaps > 0;
        const int extra = justify ? std::max(0, aw - line.width) : 0;
        for (int k = 0; k <= gaps; ++k) {
            const Piece& p = line.pieces[static_cast<size_t>(k)];
            if (p.end == p.begin) continue;
            const int shift = justify ? extra * k / gaps : 0;
            font->draw_line(surface, {left + p.x + shift, y}, text.substr(p.begin, p.end - p.begin),
                            m_style.color);
        }
    }
}

// --- Dragging ---

bool TextElement::on_pointer_button(const PointerEvent& event) {
    m_dragging = event.pressed && !event.cancelled;
    m_last_pointer = {event.x, event.y};
    return event.pressed;
}

void TextElement::on_pointer_move(const PointerEvent& event) {
    if (!m_dragging) return;
    const int dx = event.x - m_last_pointer.x;
    const int dy = event.y - m_last_pointer.y;
    m_last_pointer = {event.x, event.y};
    int sx = m_scroll_x;
    if (!m_style.wrap) sx = std::clamp(sx + dx, -m_laid_width, 0);
    const double sy =
        std::clamp(m_scroll_y - dy, 0.0, double(std::max(0, m_laid_height - height())));
    set_scroll(sx, sy);
}

}  // namespace vistrel
