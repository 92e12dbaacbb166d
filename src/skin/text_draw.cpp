#include "skin/text_draw.h"

#include <algorithm>

namespace vistrel {
namespace {

bool is_wrap_space(char16_t c) {
    return c == u' ' || c == u'\t';
}

TextLine plain_line(const FontRep& font, std::u16string_view text) {
    return {std::u16string(text), font.text_width(text)};
}

// `text` shortened so that it and the ellipsis fit into `width`; spaces before the
// ellipsis go.
TextLine ellipsis_line(const FontRep& font, std::u16string_view text, int width) {
    const int room = std::max(0, width - font.text_width(kEllipsis));
    size_t n = font.fit(text, room);
    while (n > 0 && is_wrap_space(text[n - 1]))
        --n;
    TextLine line;
    line.text.assign(text.substr(0, n));
    line.text += kEllipsis;
    line.width = font.text_width(line.text);
    return line;
}

// Wraps one paragraph (no line breaks in it) to `width`.
void wrap_paragraph(const FontRep& font, std::u16string_view para, int width, bool word_ellipsis,
                    std::vector<TextLine>& out) {
    const size_t n = para.size();
    size_t pos = 0;
    do {
        size_t end = pos;  // end of the words taken onto this line
        size_t next = n;   // where the next line's text begins
        bool shortened = false;
        for (size_t scan = pos;;) {
            size_t s = scan;
            while (s < n && is_wrap_space(para[s]))
                ++s;
            size_t e = s;
            while (e < n && !is_wrap_space(para[e]))
                ++e;
            if (e == s) break;  // nothing but spaces left
            if (font.text_width(para.substr(pos, e - pos)) <= width) {
                end = scan = e;
                continue;
            }
            if (end > pos) {  // the line is full: this word starts the next one
                next = end;
                break;
            }
            // The first word alone is wider than the line.
            const std::u16string_view word = para.substr(pos, e - pos);
            if (word_ellipsis) {
                out.push_back(ellipsis_line(font, word, width));
                shortened = true;
                next = e;
            } else {
                const size_t k = font.fit(word, width);
                end = pos + (k > 0 ? k : e - pos);  // too narrow for one character: keep the word
                next = end;
            }
            break;
        }
        if (!shortened) out.push_back(plain_line(font, para.substr(pos, end - pos)));
        pos = next;
        while (pos < n && is_wrap_space(para[pos]))
            ++pos;
    } while (pos < n);
}

}  // namespace

std::vector<TextLine> lay_out_text(const FontRep& font, std::u16string_view text, uint32_t flags,
                                   int width, int height) {
    std::vector<TextLine> lines;
    if (text.empty()) return lines;
    const bool single = flags & kTextSingleLine;
    const bool measuring = flags & kTextCalcRect;
    const bool wrap = (flags & kTextWordBreak) && !single && width >= 0;
    const bool ellipsis = (flags & (kTextEndEllipsis | kTextWordEllipsis)) && !measuring;

    size_t start = 0;
    std::u16string single_text;
    if (single) {
        single_text.assign(text);
        std::replace_if(
            single_text.begin(), single_text.end(),
            [](char16_t c) { return c == u'\r' || c == u'\n'; }, u' ');
        text = single_text;
    }
    while (true) {
        size_t end = start;
        while (end < text.size() && text[end] != u'\r' && text[end] != u'\n')
            ++end;
        const std::u16string_view para = text.substr(start, end - start);
        if (wrap) {
            wrap_paragraph(font, para, width, (flags & kTextWordEllipsis) && !measuring, lines);
        } else {
            lines.push_back(plain_line(font, para));
        }
        if (end == text.size()) break;
        start =
            end + ((text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n') ? 2 : 1);
    }

    if (ellipsis && width >= 0) {
        for (TextLine& line : lines) {
            if (line.width > width) line = ellipsis_line(font, line.text, width);
        }
    }
    if ((flags & kTextEndEllipsis) && !measuring && !single && height >= 0 && width >= 0) {
        const int line_height = std::max(1, font.line_height());
        const size_t fit = std::max<size_t>(1, static_cast<size_t>(height / line_height));
        if (lines.size() > fit) {
            lines.resize(fit);
            TextLine& last = lines.back();
            const bool has_ellipsis = last.text.size() >= 1 && last.text.back() == kEllipsis[0];
            if (!has_ellipsis) last = ellipsis_line(font, last.text, width);
        }
    }
    return lines;
}

Size measure_text(const FontRep& font, std::u16string_view text, uint32_t flags, int wrap_width) {
    const auto lines = lay_out_text(font, text, flags | kTextCalcRect,
                                    (flags & kTextWordBreak) ? wrap_width : -1, -1);
    Size size;
    for (const TextLine& line : lines)
        size.w = std::max(size.w, line.width);
    size.h = static_cast<int>(lines.size()) * font.line_height();
    return size;
}

int draw_text(Surface& surface, const FontRep& font, std::u16string_view text, Rect& rect,
              uint32_t flags, Colour colour) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (flags & kTextCalcRect) {
        const Size size = measure_text(font, text, flags, std::max(width, 0));
        rect.right = rect.left + size.w;
        rect.bottom = rect.top + size.h;
        return size.h;
    }
    const auto lines = lay_out_text(font, text, flags, std::max(width, 0), std::max(height, 0));
    const int line_height = font.line_height();
    const int total = static_cast<int>(lines.size()) * line_height;
    if (!surface.bitmap() || lines.empty()) return total;

    int y = rect.top;
    if (flags & kTextBottom) {
        y = rect.bottom - total;
    } else if (flags & kTextVCenter) {
        y = rect.top + (height - total) / 2;
    }
    Surface view = surface;  // a narrower clip on a copy leaves the caller's surface alone
    if (!(flags & kTextNoClip)) {
        const Rect clip = surface.clip();
        view.set_clip({std::max(clip.left, rect.left), std::max(clip.top, rect.top)},
                      {std::min(clip.right, rect.right), std::min(clip.bottom, rect.bottom)});
    }
    for (const TextLine& line : lines) {
        int x = rect.left;
        if (flags & kTextRight) {
            x = rect.right - line.width;
        } else if (flags & kTextCenter) {
            x = rect.left + (width - line.width) / 2;
        }
        if (y + line_height > view.clip_top() && y < view.clip_bottom()) {
            font.draw_line(view, {x, y}, line.text, colour);
        }
        y += line_height;
    }
    return total;
}

}  // namespace vistrel
