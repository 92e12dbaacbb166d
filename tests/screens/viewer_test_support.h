#pragma once
// Helpers of the viewer tests: a skin with the "Image" screen and the menu, a headless
// application on a simulated clock, a photo library over a test folder, and synthesised
// pictures with (or without) their cache files.

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "display/window.h"
#include "jpeg_samples.h"
#include "library/photo_library.h"
#include "render/render_surface.h"
#include "screens/image_viewer.h"
#include "shell/application.h"
#include "skin/properties.h"
#include "support/test_support.h"

namespace vistrel::test {

// The element kinds of the skin and "bigpicture".
class ViewerKinds final : public ElementKinds {
public:
    void register_kinds() override;
    void unregister_kinds() override;
};

// Loads the test skin ("Image", "Menu", "MenuElement", "MenuElementRed").
void use_viewer_skin(Properties& properties);

class ViewerTest : public ::testing::Test {
protected:
    static constexpr Size kScreen{240, 320};

    void SetUp() override;
    void TearDown() override;

    // Writes `count` pictures of `size` (pattern i) into the photo folder; with `cached`
    // their cache files are built too.
    void make_pictures(int count, Size size, bool cached = true);
    std::vector<uint8_t> picture_bytes(int i) const;
    // Opens the viewer on picture `index`.
    void open(int index);
    // One frame of 40 ms: due timers, update and draw.
    void frame();
    // A frame after `milliseconds` on the clock that the program steps by `seconds` (a
    // long frame is stepped by at most 0.1 s).
    void frame(uint32_t milliseconds, double seconds);
    void frames(int count);
    // Frames until the viewer is idle (the worker has finished and nothing moves).
    void settle(int max_frames = 400);
    // The screen as RGB bytes inside `rect`.
    std::vector<uint8_t> screen_rgb(const Rect& rect) const;
    void tap(Point point);
    void drag(Point from, Point to, int steps = 8);
    void key(KeyCode code);
    // Frames while the viewer scrolls to a neighbour.
    void scroll_to_end();

    TempDir dir;
    // Deleted pictures go to a trash of the test's own.
    ScopedEnv trash{"XDG_DATA_HOME", dir.file("data")};
    SimulatedClock clock{1000};
    ViewerKinds kinds;
    std::unique_ptr<Application> app;
    Properties properties;
    std::unique_ptr<PhotoLibrary> library;
    Container folder;  // stands for the folder screen below the viewer
    std::unique_ptr<ImageViewer> viewer;
    RenderSurface screen{kScreen};
    std::vector<std::u16string> pictures;
    std::vector<std::string> picture_files;
    uint32_t time = 0;
    // The photo library builds the cache files of pictures queued to it.
    std::atomic<bool> build_caches{true};
};

// The RGB bytes of a decoded picture inside `rect`.
std::vector<uint8_t> crop_rgb(const DecodedPicture& picture, const Rect& rect);

}  // namespace vistrel::test
