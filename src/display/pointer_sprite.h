#pragma once
// The mouse pointer of a board, drawn by the program into the frame memory (there is no
// desktop to draw one): an arrow with its tip at the pointer, over a copy of the pixels it
// covers, so that it can be taken away again without drawing the frame anew.

#include <vector>

#include "render/bitmap.h"
#include "render/geometry.h"

namespace vistrel {

class PointerSprite {
public:
    static constexpr int kWidth = 11;
    static constexpr int kHeight = 17;

    // Draws the arrow into `target` with its tip at `tip` (clipped to the target), keeping
    // what it covers; a sprite already drawn must be taken away first.
    void draw(Bitmap& target, Point tip);
    // Puts back what the arrow covered; nothing when it is not drawn.
    void take_away(Bitmap& target);
    // Forgets the arrow without touching the pixels (the frame under it was drawn anew).
    void forget() { m_drawn = {}; }
    // Where the arrow is drawn; empty when it is not.
    Rect drawn() const { return m_drawn; }

private:
    Rect m_drawn;
    std::vector<Pixel> m_under;
};

}  // namespace vistrel
