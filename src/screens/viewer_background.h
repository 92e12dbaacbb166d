#pragma once
// Transparent pictures are laid over the colour the viewer shows around a picture: the
// `empty_color` of the "center" view of the skin's "Image" screen.

#include <cstdint>

#include "skin/properties.h"

namespace vistrel {

// The viewer's background in the current skin as 0xRRGGBB; black (the view's own default)
// when the skin has no such view.
uint32_t viewer_background(const Properties& properties);

// Keeps the background of transparent pictures at the skin's viewer background: set when
// made and after every skin reload. Pictures decoded (and cache files built) from then on
// use it; cache files built before keep the colour they were built with.
class TransparencyFollowsSkin final : public SkinListener {
public:
    explicit TransparencyFollowsSkin(Properties& properties);
    ~TransparencyFollowsSkin() override;
    TransparencyFollowsSkin(const TransparencyFollowsSkin&) = delete;
    TransparencyFollowsSkin& operator=(const TransparencyFollowsSkin&) = delete;
    void reload_skin(Properties& properties) override;

private:
    Properties& m_properties;
};

}  // namespace vistrel
