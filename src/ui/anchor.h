#pragma once
// The placement rules of one axis: how an element anchored in a parent of length P gets its
// size and offset, and how much of the parent's length it asks for when measured.

#include <string_view>

namespace vistrel {

enum class AnchorMode : int {
    MinSide = 0,
    BothSide = 1,
    MaxSide = 2,
    Ratio = 3,
    Center = 4,
    MinSideNoSize = 5,
    MaxSideNoSize = 6,
};

// The mode named by a skin string; `fallback` when the string names none (exact match).
AnchorMode parse_anchor_mode(std::u16string_view name, AnchorMode fallback = AnchorMode::BothSide);
const char* anchor_mode_name(AnchorMode mode);

// The size along the axis for a `preferred` length in a parent of length `parent`
// (never negative).
int anchor_size(AnchorMode mode, int preferred, int parent, int border_min, int border_max);
// The offset from the parent's start for an element of `size`.
int anchor_offset(AnchorMode mode, int size, int parent, int border_min, int border_max);
// The length the element needs of its parent when its own length is `length` (0 for the
// two modes that do not count in their parent's measure).
int anchor_outer_length(AnchorMode mode, int length, int border_min, int border_max);
// The borders the mode keeps: what a table takes off its length before sharing it.
int anchor_border_total(AnchorMode mode, int border_min, int border_max);

}  // namespace vistrel
