#pragma once
// Points, sizes and rectangles in pixels.

namespace vistrel {

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    int w = 0;
    int h = 0;
    friend bool operator==(const Size&, const Size&) = default;
    bool empty() const { return w < 1 || h < 1; }
};

// Left and top inclusive, right and bottom exclusive.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
    Point top_left() const { return {left, top}; }
    Point bottom_right() const { return {right, bottom}; }
    bool empty() const { return right <= left || bottom <= top; }
};

}  // namespace vistrel
