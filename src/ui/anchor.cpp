#include "ui/anchor.h"

#include <algorithm>

namespace vistrel {

namespace {

struct ModeName {
    std::u16string_view name;
    AnchorMode mode;
    const char* text;
};

constexpr ModeName kModes[] = {
    {u"MIN_SIDE", AnchorMode::MinSide, "MIN_SIDE"},
    {u"BOTH_SIDE", AnchorMode::BothSide, "BOTH_SIDE"},
    {u"MAX_SIDE", AnchorMode::MaxSide, "MAX_SIDE"},
    {u"RATIO", AnchorMode::Ratio, "RATIO"},
    {u"CENTER", AnchorMode::Center, "CENTER"},
    {u"MIN_SIDE_NO_SIZE", AnchorMode::MinSideNoSize, "MIN_SIDE_NO_SIZE"},
    {u"MAX_SIDE_NO_SIZE", AnchorMode::MaxSideNoSize, "MAX_SIDE_NO_SIZE"},
};

}  // namespace

AnchorMode parse_anchor_mode(std::u16string_view name, AnchorMode fallback) {
    for (const ModeName& m : kModes)
        if (m.name == name) return m.mode;
    return fallback;
}

const char* anchor_mode_name(AnchorMode mode) {
    for (const ModeName& m : kModes)
        if (m.mode == mode) return m.text;
    return "?";
}

int anchor_size(AnchorMode mode, int preferred, int parent, int border_min, int border_max) {
    int size = 0;
    switch (mode) {
        case AnchorMode::MinSide:
            size = std::min(preferred, parent - border_min);
            break;
        case AnchorMode::BothSide:
            size = parent - border_min - border_max;
            break;
        case AnchorMode::MaxSide:
            size = std::min(preferred, parent - border_max);
            break;
        case AnchorMode::Ratio:
        case AnchorMode::Center:
            size = std::min(preferred, parent - border_min - border_max);
            break;
        case AnchorMode::MinSideNoSize:
        case AnchorMode::MaxSideNoSize:
            size = preferred;
            break;
    }
    return std::max(size, 0);
}

int anchor_offset(AnchorMode mode, int size, int parent, int border_min, int border_max) {
    switch (mode) {
        case AnchorMode::MaxSide:
        case AnchorMode::MaxSideNoSize:
            return std::max(0, parent - size - border_max);
        case AnchorMode::Center:
            return border_min + std::max(0, (parent - border_min - border_max) / 2 - size / 2);
        default:
            return border_min;
    }
}

int anchor_outer_length(AnchorMode mode, int length, int border_min, int border_max) {
    switch (mode) {
        case AnchorMode::MinSide:
            return border_min + length;
        case AnchorMode::MaxSide:
            return length + border_max;
        case AnchorMode::MinSideNoSize:
        case AnchorMode::MaxSideNoSize:
            return 0;
        default:
            return border_min + length + border_max;
    }
}

int anchor_border_total(AnchorMode mode, int border_min, int border_max) {
    switch (mode) {
        case AnchorMode::MinSide:
        case AnchorMode::MinSideNoSize:
            return border_min;
        case AnchorMode::MaxSide:
        case AnchorMode::MaxSideNoSize:
            return border_max;
        default:
            return border_min + border_max;
    }
}

}  // namespace vistrel
