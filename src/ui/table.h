#pragma once
// "htable" and "vtable": the visible children share the table's length along its axis in a
// row or a column. Minimums are met first, then the preferred lengths are approached in
// even rounds, and what is left goes to the children with a table_ratio, in proportion.
// When even the minimums do not fit, the length is shared in proportion to them. Across
// the axis children are placed as by a plain element.

#include <vector>

#include "ui/element.h"

namespace vistrel {

class TableElement : public Element {
public:
    TableElement(Element* parent, Axis axis) : Element(parent), m_axis(axis) {}
    Axis axis() const { return m_axis; }

    void layout_x() override;
    void layout_y() override;
    void measure_x(Extent& extent) override;
    void measure_y(Extent& extent) override;

    // The lengths of `count` children with extents `extents` sharing `available` pixels
    // (borders already taken off), with the children's `ratios`.
    static std::vector<int> share(const std::vector<Extent>& extents,
                                  const std::vector<int>& ratios, int available);

private:
    void measure_along(Extent& extent);
    void place_along();

    Axis m_axis;
};

}  // namespace vistrel
