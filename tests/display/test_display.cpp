#include <fcntl.h>
#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "display/display.h"
#include "display/framebuffer_driver.h"
#include "display/rotate.h"
#include "display_test_support.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

using Recorder = test::MessageRecorder;
using test::panel;

void fill_pattern(Bitmap& b) {
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            b.row(y)[x] = static_cast<Pixel>(x * 37 + y * 1009 + 5);
}

TEST(Display, ModesAreTheNativeOneThenTheOtherTurns) {
    const auto modes = Display::modes_for(240, 320, 0);
    ASSERT_EQ(modes.size(), 4u);
    EXPECT_EQ(modes[0], (DisplayMode{240, 320, 0}));
    EXPECT_EQ(modes[1], (DisplayMode{320, 240, 1}));
    EXPECT_EQ(modes[2], (DisplayMode{240, 320, 2}));
    EXPECT_EQ(modes[3], (DisplayMode{320, 240, 3}));
}

TEST(Display, AnyOrientationPassesAndUnknownOnesFail) {
    SimulatedClock clock;
    HeadlessWindow window(panel(240, 320), clock);
    DisplayParams any{0, 0, kAnyOrientation, 0};
    auto display = Display::Create(window, any);
    ASSERT_TRUE(display);
    EXPECT_EQ(any.width, 240);
    EXPECT_EQ(any.height, 320);
    EXPECT_EQ(any.orientation, 0);
    EXPECT_EQ(any.swap, 1);
    display.reset();
    DisplayParams bad{0, 0, 5, 1};
    EXPECT_FALSE(Display::Create(window, bad));
}

TEST(Display, FramesReachTheScreenInEveryOrientation) {
    for (int orientation = 0; orientation < 4; ++orientation) {
        SimulatedClock clock;
        HeadlessWindow window(panel(240, 320), clock);
        DisplayParams params{0, 0, orientation, 1};
        auto display = Display::Create(window, params);
        ASSERT_TRUE(display) << orientation;
        const Size expected = turned_size({240, 320}, orientation);
        EXPECT_EQ(Size(params.width, params.height), expected);
        EXPECT_EQ(display->orientation(), orientation);
        EXPECT_FALSE(display->back_buffer());
        EXPECT_FALSE(display->present());
        ASSERT_TRUE(display->begin_frame());
        Bitmap* frame = display->back_buffer();
        ASSERT_TRUE(frame);
        ASSERT_EQ(frame->size(), expected);
        fill_pattern(*frame);
        ASSERT_TRUE(display->present());
        // The screen shows the frame turned from the display's orientation to the panel's.
        auto reference = Bitmap::create(240, 320);
        rotate_copy_reference(*frame, {0, 0, expected.w, expected.h}, *reference,
                              (4 - orientation) & 3);
        const Bitmap& shown = window.screen();
        for (int y = 0; y < 320; y += 7)
            for (int x = 0; x < 240; x += 5)
                ASSERT_EQ(shown.row(y)[x], reference->row(y)[x])
                    << orientation << " " << x << "," << y;
        EXPECT_EQ(display->shown(), &window.screen());
    }
}

TEST(Display, RotationCopiesOnlyTheDirtyBlocks) {
    SimulatedClock clock;
    HeadlessWindow window(panel(240, 320), clock);
    window.screen().clear(0);
    DisplayParams params{0, 0, 1, 1};
    auto display = Display::Create(window, params);
    ASSERT_TRUE(display);
    ASSERT_TRUE(display->begin_frame());
    display->back_buffer()->clear(0xFFFF);
    display->set_dirty(Rect{100, 100, 101, 101});
    EXPECT_EQ(display->dirty(), (Rect{100, 100, 102, 102}));
    display->present();
    // Frame (100, 100) lies at panel (100, 219); its 16 x 16 block is 96..112 x 208..224.
    int changed = 0;
    for (int y = 0; y < 320; ++y)
        for (int x = 0; x < 240; ++x)
            changed += window.screen().row(y)[x] != 0;
    EXPECT_EQ(changed, 16 * 16);
    EXPECT_EQ(window.screen().row(208)[96], 0xFFFF);
    EXPECT_EQ(window.screen().row(223)[111], 0xFFFF);
    display->set_dirty(Rect{500, 500, 600, 600});
    EXPECT_EQ(display->dirty(), (Rect{}));
}

TEST(Display, HookRemapsPointerAndArrowsAndFollowsActivation) {
    SimulatedClock clock;
    HeadlessWindow window(panel(240, 320), clock);
    Recorder recorder;
    window.set_procedure(&recorder);
    DisplayParams params{0, 0, 1, 1};
    auto display = Display::Create(window, params);
    ASSERT_TRUE(display);
    WindowMessage press;
    press.kind = MessageKind::ButtonDown;
    window.dispatch(press);
    WindowMessage left;
    left.kind = MessageKind::KeyDown;
    left.code = 37;
    window.dispatch(left);
    ASSERT_EQ(recorder.seen.size(), 2u);
    EXPECT_EQ(recorder.seen[0].x, 319);
    EXPECT_EQ(recorder.seen[0].y, 0);
    EXPECT_EQ(recorder.seen[1].code, 38u);

    ASSERT_TRUE(display->begin_frame());
    const auto activate = [&](bool on) {
        WindowMessage message;
        message.kind = MessageKind::Activate;
        message.code = on ? 1 : 0;
        window.dispatch(message);
    };
    activate(false);
    EXPECT_FALSE(display->active());
    EXPECT_FALSE(display->back_buffer());
    EXPECT_FALSE(display->begin_frame());
    activate(true);
    EXPECT_TRUE(display->begin_frame());
    EXPECT_TRUE(display->back_buffer());
}

TEST(Display, AtMostSixteenWindowsAreHooked) {
    SimulatedClock clock;
    std::vector<std::unique_ptr<HeadlessWindow>> windows;
    std::vector<std::unique_ptr<Display>> displays;
    for (int i = 0; i < 17; ++i) {
        windows.push_back(std::make_unique<HeadlessWindow>(panel(16, 16), clock));
        DisplayParams params{0, 0, 0, 1};
        auto display = Display::Create(*windows.back(), params);
        EXPECT_EQ(display != nullptr, i < 16) << i;
        if (display) displays.push_back(std::move(display));
    }
    displays.pop_back();
    DisplayParams params{0, 0, 0, 1};
    EXPECT_TRUE(Display::Create(*windows.back(), params));
}

TEST(Display, FrameBufferFileTakesTheFrames) {
    test::TempDir dir;
    const std::string path = dir.file("fb0");
    test::write_file(path, std::string(240 * 320 * 2, '\0'));
    SimulatedClock clock;
    DeviceProfile p = panel(240, 320);
    p.framebuffer = path;
    HeadlessWindow window(p, clock);
    DisplayParams params{0, 0, 0, 1};
    auto display = Display::Create(window, params);
    ASSERT_TRUE(display);
    const DetectionRecord record = Display::detect(window);
    EXPECT_EQ(record.drivers, (std::vector<int>{kScreenDriverId, kFrameBufferDriverId}));
    ASSERT_TRUE(display->begin_frame());
    Bitmap* frame = display->back_buffer();
    ASSERT_TRUE(frame);
    frame->clear(0);
    frame->row(3)[2] = 0xABCD;
    frame->row(319)[239] = 0x1357;
    display->present();
    display.reset();
    const std::string bytes = test::read_file_bytes(path);
    ASSERT_EQ(bytes.size(), 240u * 320 * 2);
    auto at = [&](int x, int y) {
        const size_t i = (size_t(y) * 240 + x) * 2;
        return uint16_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8);
    };
    EXPECT_EQ(at(2, 3), 0xABCD);
    EXPECT_EQ(at(239, 319), 0x1357);
    EXPECT_EQ(at(0, 0), 0);
}

// The board's mouse pointer, over the window's memory and over a frame buffer (which the
// display draws through a back buffer of its own).
TEST(Display, TheBoardPointerIsDrawnOverTheFramesAndTakenAway) {
    test::TempDir dir;
    const std::string path = dir.file("fb0");
    test::write_file(path, std::string(240 * 320 * 2, '\0'));
    for (const bool frame_buffer : {false, true}) {
        SCOPED_TRACE(frame_buffer ? "frame buffer" : "window");
        SimulatedClock clock;
        DeviceProfile p = panel(240, 320);
        if (frame_buffer) p.framebuffer = path;
        HeadlessWindow window(p, clock);
        DisplayParams params{0, 0, 0, 1};
        auto display = Display::Create(window, params);
        ASSERT_TRUE(display);
        auto frame = [&](Pixel colour) {
            ASSERT_TRUE(display->begin_frame());
            display->back_buffer()->clear(colour);
            display->present();
        };
        auto send = [&](MessageKind kind, int x, int y) {
            WindowMessage m;
            m.kind = kind;
            m.x = x;
            m.y = y;
            window.dispatch(m);
        };
        constexpr Pixel kGrey = 0x8410, kBlue = 0x001F;
        frame(kGrey);
        const Bitmap& out = *display->shown();
        EXPECT_TRUE(display->pointer_drawn().empty());
        send(MessageKind::PointerShown, 50, 60);
        EXPECT_EQ(display->pointer_drawn(), (Rect{50, 60, 61, 77}));
        EXPECT_EQ(out.row(60)[50], 0x0000);  // the tip's outline
        EXPECT_EQ(out.row(64)[52], 0xFFFF);  // its fill
        EXPECT_EQ(out.row(60)[52], kGrey);   // beside the arrow

        send(MessageKind::PointerMove, 100, 200);
        EXPECT_EQ(out.row(64)[52], kGrey);  // taken away from where it was
        EXPECT_EQ(out.row(204)[102], 0xFFFF);
        // A new frame has it on top, and moving it shows the new frame under it.
        frame(kBlue);
        EXPECT_EQ(out.row(204)[102], 0xFFFF);
        EXPECT_EQ(out.row(10)[10], kBlue);
        send(MessageKind::PointerMove, 5, 5);
        EXPECT_EQ(out.row(204)[102], kBlue);

        // Clipped at the edge; hidden; moves while hidden draw nothing.
        send(MessageKind::PointerMove, 235, 315);
        EXPECT_EQ(display->pointer_drawn(), (Rect{235, 315, 240, 320}));
        send(MessageKind::PointerHidden, 0, 0);
        EXPECT_TRUE(display->pointer_drawn().empty());
        EXPECT_EQ(out.row(317)[236], kBlue);
        send(MessageKind::PointerMove, 20, 20);
        EXPECT_TRUE(display->pointer_drawn().empty());
        EXPECT_EQ(out.row(24)[22], kBlue);
        frame(kGrey);
        EXPECT_EQ(out.row(24)[22], kGrey);
    }
}

TEST(Display, ShortOrMissingFrameBufferFallsBackToTheWindow) {
    test::TempDir dir;
    const std::string path = dir.file("short");
    test::write_file(path, std::string(1000, '\0'));
    for (const std::string& device : {path, dir.file("missing"), dir.str()}) {
        SimulatedClock clock;
        DeviceProfile p = panel(240, 320);
        p.framebuffer = device;
        HeadlessWindow window(p, clock);
        DisplayParams params{0, 0, 0, 1};
        auto display = Display::Create(window, params);
        ASSERT_TRUE(display);
        EXPECT_EQ(Display::detect(window).drivers, (std::vector<int>{kScreenDriverId}));
        EXPECT_EQ(display->shown(), &window.screen());
    }
}


TEST(Display, ThirtyTwoBitFrameBufferGetsConvertedRows) {
    test::TempDir dir;
    const std::string path = dir.file("fb32");
    // 10 x 4 pixels, rows padded to 48 bytes, the picture 8 bytes into the memory.
    FrameBufferGeometry g;
    g.width = 10;
    g.height = 4;
    g.pitch = 48;
    g.offset = 8;
    g.length = 8 + 48 * 4;
    g.layout = PixelLayout::Xrgb8888;
    test::write_file(path, std::string(g.length, '\x55'));
    {
        FrameBufferDriver driver;
        EXPECT_FALSE(driver.attach(FileDescriptor(::open(path.c_str(), O_RDWR)),
                                   [&] { auto bad = g; bad.length = 8 + 48 * 3 + 39; return bad; }()));
    }
    FrameBufferDriver driver;
    ASSERT_TRUE(driver.attach(FileDescriptor(::open(path.c_str(), O_RDWR)), g));
    EXPECT_EQ(driver.swap_type(), DisplayDriver::kSystemMemory);
    Bitmap* frame = driver.lock();
    ASSERT_TRUE(frame);
    ASSERT_EQ(frame->size(), (Size{10, 4}));
    frame->clear(0);
    frame->row(1)[2] = 0xF800;  // red
    frame->row(3)[9] = 0xFFFF;  // white
    frame->row(2)[5] = 0x07E0;  // green, outside the dirty part: not written yet
    driver.set_dirty({0, 0, 10, 2});
    driver.unlock_and_show(0);
    driver.set_dirty({9, 3, 10, 4});
    driver.unlock_and_show(0);
    std::string bytes = test::read_file_bytes(path);
    auto at = [&](int x, int y) {
        const size_t i = 8 + size_t(y) * 48 + size_t(x) * 4;
        return uint32_t(uint8_t(bytes[i])) | uint32_t(uint8_t(bytes[i + 1])) << 8 |
               uint32_t(uint8_t(bytes[i + 2])) << 16 | uint32_t(uint8_t(bytes[i + 3])) << 24;
    };
    EXPECT_EQ(at(2, 1), 0x00FF0000u);
    EXPECT_EQ(at(0, 0), 0u);
    EXPECT_EQ(at(9, 3), 0x00FFFFFFu);
    EXPECT_EQ(at(5, 2), 0x55555555u);
    EXPECT_EQ(uint8_t(bytes[0]), 0x55);  // before the offset
    EXPECT_EQ(uint8_t(bytes[8 + 40]), 0x55);  // row padding
    driver.repaint();
    bytes = test::read_file_bytes(path);
    EXPECT_EQ(at(5, 2), 0x0000FF00u);
}

}  // namespace
}  // namespace vistrel
