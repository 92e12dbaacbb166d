#pragma once
// "image": fills its rectangle with a skin picture (caps and a repeated middle).

#include <memory>

#include "render/pixel_op.h"
#include "skin/picture_reference.h"
#include "ui/element.h"

namespace vistrel {

class ImageElement : public Element {
public:
    explicit ImageElement(Element* parent);
    void load(Properties& properties, NodeHandle node) override;
    void draw(Surface& surface, Point origin) override;
    // With grow, at least the picture's natural size.
    void measure_x(Extent& extent) override;
    void measure_y(Extent& extent) override;

    const PictureReference& picture() const { return m_picture; }
    void set_picture(const PictureReference& picture);
    // -1 copies; other values pick a blending level.
    void set_alpha(int alpha);
    bool grow() const { return m_grow; }
    void set_grow(bool grow);

private:
    PictureReference m_picture;
    std::unique_ptr<PixelOp> m_op;
    bool m_grow = false;
};

}  // namespace vistrel
