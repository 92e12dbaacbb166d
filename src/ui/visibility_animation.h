#pragma once
// The animations an element (or a screen) shows and hides itself with. An animation draws
// pictures captured when it starts: the element's own image, and for a change of screens
// the image it replaces. Progress runs from 0 (hidden) to 1 (shown).

#include <memory>
#include <string_view>

#include "render/pixel_op.h"
#include "render/render_surface.h"
#include "shell/screen.h"

namespace vistrel {

enum class AnimationKind { Scale, Pop, Right, Bottom, Left, Top, Flip };

class VisibilityAnimation final : public ScreenAnimation {
public:
    explicit VisibilityAnimation(AnimationKind kind);
    // The animation of a skin name; null for an empty or unknown name.
    static std::unique_ptr<VisibilityAnimation> from_name(std::u16string_view name);

    AnimationKind kind() const { return m_kind; }
    double speed() const { return m_speed; }
    double progress() const { return m_progress; }
    bool running() const { return m_direction != 0; }
    // The operation the captured images are drawn with (keyed copy by default).
    void set_op(std::unique_ptr<PixelOp> op);

    std::unique_ptr<ScreenAnimation> clone() const override;
    void start(int direction, const Bitmap& picture, const Bitmap* second) override;
    int direction() const override { return m_direction; }
    void reverse() override { m_direction = -m_direction; }
    void animate(double seconds) override;
    void draw(Surface& surface, Point origin) override;

    // The factor "pop" scales by at a progress: 0 at 0, 1 at 1, overshooting in between.
    static double pop_factor(double progress);

    // Ends the animation at once and frees its pictures.
    void stop();

private:
    void draw_scaled(Surface& surface, const RenderSurface& image, Point origin, double fx,
                     double fy) const;

    AnimationKind m_kind;
    int m_direction = 0;
    double m_progress = 1.0;
    double m_speed = 0.125;
    RenderSurface m_image;
    RenderSurface m_second;
    std::unique_ptr<PixelOp> m_op;
};

}  // namespace vistrel
