#pragma once
// "progress": a bar whose descendant "#line" is sized to a fraction of the bar along every
// axis on which the line is not anchored to both sides.

#include "ui/element.h"

namespace vistrel {

class ProgressBar : public Element {
public:
    explicit ProgressBar(Element* parent) : Element(parent) {}
    void load(Properties& properties, NodeHandle node) override;
    void layout_x() override;
    void layout_y() override;

    double fraction() const { return m_fraction; }
    // 1 is full; values that are not numbers count as 0.
    void set_fraction(double fraction);
    Element* line() const { return m_line; }

private:
    void place_line(Axis axis);

    double m_fraction = 0;
    Element* m_line = nullptr;
};

}  // namespace vistrel
