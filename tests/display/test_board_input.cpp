#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <thread>

#include "display/board_window.h"
#include "display/input_translator.h"
#include "display_test_support.h"

namespace vistrel {
namespace {

using Kind = InputEvent::Kind;

InputEvent touch(Kind kind, int slot, double x = 0, double y = 0) {
    InputEvent e;
    e.kind = kind;
    e.slot = slot;
    e.x = x;
    e.y = y;
    return e;
}

InputEvent key(uint32_t code, bool pressed, Kind kind = Kind::Key) {
    InputEvent e;
    e.kind = kind;
    e.code = code;
    e.pressed = pressed;
    return e;
}

// Feeds a translator into a board window and reads what the window queues.
struct Board {
    SimulatedClock clock{1000};
    BoardWindow window;
    explicit Board(int orientation = 0) : window(test::panel(200, 100, orientation), clock) {
        WindowMessage first;
        window.peek_message(first);  // the window's own activation
    }
    std::vector<WindowMessage> taken() {
        std::vector<WindowMessage> out;
        WindowMessage m;
        while (window.peek_message(m))
            out.push_back(m);
        return out;
    }
};

struct Recorder : InputSink {
    std::vector<std::pair<MessageKind, Point>> pointer_events;
    std::vector<std::pair<uint32_t, bool>> keys;
    std::vector<uint32_t> repeats;  // the clock's time of each repeated press
    std::vector<std::pair<bool, Point>> shown;
    std::u16string typed;
    bool text_on = false;
    const Clock* clock = nullptr;
    void pointer(MessageKind kind, Point p) override { pointer_events.push_back({kind, p}); }
    void key(uint32_t vk, bool down, bool repeat) override {
        if (repeat)
            repeats.push_back(clock ? clock->now() : 0);
        else
            keys.push_back({vk, down});
    }
    void text(char16_t unit) override { typed.push_back(unit); }
    bool wants_text() const override { return text_on; }
    void pointer_shown(bool on, Point p) override { shown.push_back({on, p}); }
};

TEST(InputTranslator, FirstFingerIsThePointerOthersAreIgnored) {
    Recorder r;
    SimulatedClock clock;
    InputTranslator t({200, 100}, r, clock);
    t.feed(touch(Kind::TouchDown, 3, 0.5, 0.5));
    t.feed(touch(Kind::TouchDown, 4, 0.9, 0.9));   // a second finger
    t.feed(touch(Kind::TouchMotion, 4, 0.1, 0.1));
    t.feed(touch(Kind::TouchMotion, 3, 0.25, 0.75));
    t.feed(touch(Kind::TouchUp, 4));
    t.feed(touch(Kind::TouchUp, 3));
    using P = std::pair<MessageKind, Point>;
    EXPECT_EQ(r.pointer_events,
              (std::vector<P>{{MessageKind::PointerMove, {100, 50}},
                              {MessageKind::ButtonDown, {100, 50}},
                              {MessageKind::PointerMove, {50, 75}},
                              {MessageKind::ButtonUp, {50, 75}}}));
    EXPECT_FALSE(t.pointer_visible());
    EXPECT_FALSE(t.pressed());
}

TEST(InputTranslator, NonsenseRangesStayOnThePanel) {
    Recorder r;
    SimulatedClock clock;
    InputTranslator t({200, 100}, r, clock);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    t.feed(touch(Kind::TouchDown, 0, nan, 0.5));  // dropped
    EXPECT_TRUE(r.pointer_events.empty());
    t.feed(touch(Kind::TouchDown, 0, 7.0, -3.0));
    t.feed(touch(Kind::TouchMotion, 0, inf, 0.5));
    t.feed(touch(Kind::TouchMotion, 0, 1e300, 1e300));
    t.feed(touch(Kind::TouchCancel, 0));
    t.feed(touch(Kind::PointerMotion, 0, -1e300, nan));
    t.feed(touch(Kind::PointerMotion, 0, -1e300, 1e300));
    t.feed(touch(Kind::PointerAbsolute, 0, -inf, 0.5));
    for (const auto& [kind, p] : r.pointer_events) {
        EXPECT_TRUE(p.x >= 0 && p.x < 200 && p.y >= 0 && p.y < 100) << p.x << "," << p.y;
    }
    ASSERT_GE(r.pointer_events.size(), 4u);
    EXPECT_EQ(r.pointer_events[1], std::make_pair(MessageKind::ButtonDown, Point{199, 0}));
    EXPECT_EQ(r.pointer_events.back().second, (Point{0, 99}));
    EXPECT_FALSE(t.pressed());
}

TEST(InputTranslator, MouseAndKeysLikeADesktop) {
    Recorder r;
    SimulatedClock clock;
    InputTranslator t({200, 100}, r, clock);
    t.feed(touch(Kind::PointerMotion, 0, 10.6, 5.0));
    t.feed(touch(Kind::PointerMotion, 0, 0.6, 0));  // the fractions add up
    t.feed(key(BTN_RIGHT, true, Kind::Button));      // only the left button clicks
    t.feed(key(BTN_LEFT, true, Kind::Button));
    t.feed(key(BTN_LEFT, false, Kind::Button));
    using P = std::pair<MessageKind, Point>;
    EXPECT_EQ(r.pointer_events, (std::vector<P>{{MessageKind::PointerMove, {10, 5}},
                                                {MessageKind::PointerMove, {11, 5}},
                                                {MessageKind::ButtonDown, {11, 5}},
                                                {MessageKind::ButtonUp, {11, 5}}}));
    EXPECT_TRUE(t.pointer_visible());

    t.feed(key(KEY_LEFT, true));
    t.feed(key(KEY_LEFT, false));
    t.feed(key(KEY_ESC, true));
    t.feed(key(KEY_F1, true));
    t.feed(key(KEY_PROG1, true));  // a key the program does not use
    using K = std::pair<uint32_t, bool>;
    EXPECT_EQ(r.keys, (std::vector<K>{{37, true}, {37, false}, {27, true}, {112, true}}));
    EXPECT_TRUE(r.typed.empty());  // no text without the text input

    r.text_on = true;
    for (uint32_t code : {KEY_H, KEY_I, KEY_SPACE, KEY_LEFTSHIFT, KEY_Z, KEY_2})
        t.feed(key(code, true));
    EXPECT_EQ(r.typed, u"hi Z2");
    EXPECT_EQ(virtual_key_from_linux(KEY_Q), uint32_t('Q'));
    EXPECT_EQ(virtual_key_from_linux(KEY_0), uint32_t('0'));
    EXPECT_EQ(virtual_key_from_linux(0xFFFFFFFF), 0u);
}

TEST(InputTranslator, HeldKeysRepeatUntilReleased) {
    Recorder r;
    SimulatedClock clock(1000);
    r.clock = &clock;
    r.text_on = true;
    InputTranslator t({200, 100}, r, clock);
    EXPECT_FALSE(t.next_due());
    t.feed(key(KEY_RIGHT, true));
    EXPECT_EQ(t.next_due(), InputTranslator::kRepeatDelayMs);
    clock.advance(InputTranslator::kRepeatDelayMs - 1);
    t.tick();
    EXPECT_TRUE(r.repeats.empty());
    clock.advance(1);
    for (int i = 0; i < 4; ++i) {
        t.tick();
        clock.advance(InputTranslator::kRepeatPeriodMs);
    }
    EXPECT_EQ(r.repeats, (std::vector<uint32_t>{1500, 1540, 1580, 1620}));
    t.feed(key(KEY_RIGHT, false));
    clock.advance(1000);
    t.tick();
    EXPECT_EQ(r.repeats.size(), 4u);
    EXPECT_FALSE(t.next_due());

    // Modifiers do not repeat; a letter repeats its character too.
    t.feed(key(KEY_LEFTSHIFT, true));
    clock.advance(2000);
    t.tick();
    EXPECT_EQ(r.repeats.size(), 4u);
    t.feed(key(KEY_A, true));
    clock.advance(InputTranslator::kRepeatDelayMs);
    t.tick();
    EXPECT_EQ(r.typed, u"AA");
    // A late tick makes one repeat, not a burst of them.
    clock.advance(10000);
    t.tick();
    EXPECT_EQ(r.repeats.size(), 6u);
    // The keyboard unplugged: its held key is released and repeats no more.
    InputEvent gone;
    gone.kind = Kind::DeviceRemoved;
    t.feed(gone);
    EXPECT_EQ(r.keys.back(), (std::pair<uint32_t, bool>{'A', false}));
    clock.advance(1000);
    t.tick();
    EXPECT_EQ(r.repeats.size(), 6u);
    EXPECT_FALSE(t.next_due());
}

TEST(InputTranslator, TheMousePointerShowsWhileTheMouseIsUsed) {
    Recorder r;
    SimulatedClock clock(1000);
    InputTranslator t({200, 100}, r, clock);
    using S = std::pair<bool, Point>;
    t.feed(touch(Kind::PointerMotion, 0, 10, 5));
    EXPECT_EQ(r.shown, (std::vector<S>{{true, {10, 5}}}));
    EXPECT_EQ(t.next_due(), InputTranslator::kPointerIdleMs);
    clock.advance(2000);
    t.feed(touch(Kind::PointerMotion, 0, 1, 0));  // moving keeps it
    EXPECT_EQ(t.next_due(), InputTranslator::kPointerIdleMs);
    clock.advance(InputTranslator::kPointerIdleMs - 1);
    t.tick();
    EXPECT_TRUE(t.pointer_visible());
    clock.advance(1);
    t.tick();
    EXPECT_FALSE(t.pointer_visible());
    EXPECT_EQ(r.shown.back(), (S{false, {11, 5}}));
    EXPECT_FALSE(t.next_due());

    // A click brings it back; a touch hides it at once.
    t.feed(key(BTN_LEFT, true, Kind::Button));
    t.feed(key(BTN_LEFT, false, Kind::Button));
    EXPECT_TRUE(t.pointer_visible());
    t.feed(touch(Kind::TouchDown, 0, 0.5, 0.5));
    EXPECT_FALSE(t.pointer_visible());
    t.feed(touch(Kind::TouchUp, 0));
    EXPECT_EQ(r.shown, (std::vector<S>{{true, {10, 5}}, {false, {11, 5}}, {true, {11, 5}},
                                       {false, {11, 5}}}));
    // An absolute pointing device (a tablet) shows it where it points.
    t.feed(touch(Kind::PointerAbsolute, 0, 0.25, 0.5));
    EXPECT_EQ(r.shown.back(), (S{true, {50, 50}}));
}

// A virtual touch screen made with uinput, read through libinput.
class VirtualTouch {
public:
    VirtualTouch() {
        m_fd = ::open("/dev/uinput", O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0) return;
        ioctl(m_fd, UI_SET_EVBIT, EV_KEY);
        ioctl(m_fd, UI_SET_KEYBIT, BTN_TOUCH);
        ioctl(m_fd, UI_SET_EVBIT, EV_ABS);
        ioctl(m_fd, UI_SET_ABSBIT, ABS_X);
        ioctl(m_fd, UI_SET_ABSBIT, ABS_Y);
        ioctl(m_fd, UI_SET_PROPBIT, INPUT_PROP_DIRECT);
        uinput_user_dev dev{};
        std::strcpy(dev.name, "vistrel test touch");
        dev.id.bustype = BUS_VIRTUAL;
        dev.absmax[ABS_X] = 1000;
        dev.absmax[ABS_Y] = 1000;
        if (write(m_fd, &dev, sizeof dev) != ssize_t(sizeof dev) || ioctl(m_fd, UI_DEV_CREATE) != 0) {
            ::close(m_fd);
            m_fd = -1;
            return;
        }
        char name[64] = {};
        if (ioctl(m_fd, UI_GET_SYSNAME(sizeof name), name) >= 0)
            m_sysname = name;
    }
    ~VirtualTouch() {
        if (m_fd >= 0) {
            ioctl(m_fd, UI_DEV_DESTROY);
            ::close(m_fd);
        }
    }
    bool ready() const { return m_fd >= 0 && !m_sysname.empty(); }
    const std::string& sysname() const { return m_sysname; }
    void send(uint16_t type, uint16_t code, int32_t value) {
        input_event e{};
        e.type = type;
        e.code = code;
        e.value = value;
        [[maybe_unused]] ssize_t n = write(m_fd, &e, sizeof e);
    }

private:
    int m_fd = -1;
    std::string m_sysname;
};

TEST(BoardWindow, AVirtualTouchScreenTaps) {
    if (access("/dev/uinput", W_OK) != 0) GTEST_SKIP() << "no writable /dev/uinput on this machine";
    VirtualTouch device;
    if (!device.ready()) GTEST_SKIP() << "uinput refused to make a device";
    // The event node of the new device.
    std::string node;
    for (int i = 0; i < 64 && node.empty(); ++i) {
        const std::string dir = "/sys/devices/virtual/input/" + device.sysname() + "/event" +
                                std::to_string(i);
        if (access(dir.c_str(), F_OK) == 0) node = "/dev/input/event" + std::to_string(i);
    }
    if (node.empty() || access(node.c_str(), R_OK) != 0) GTEST_SKIP() << "no event node to read";
    Board board;
    std::string problem;
    ASSERT_TRUE(board.window.open_device_input(node, problem)) << problem;
    board.taken();
    device.send(EV_ABS, ABS_X, 500);
    device.send(EV_ABS, ABS_Y, 250);
    device.send(EV_KEY, BTN_TOUCH, 1);
    device.send(EV_SYN, SYN_REPORT, 0);
    device.send(EV_KEY, BTN_TOUCH, 0);
    device.send(EV_SYN, SYN_REPORT, 0);
    std::vector<WindowMessage> seen;
    for (int tries = 0; tries < 50 && seen.size() < 2; ++tries) {
        usleep(10000);
        for (const WindowMessage& m : board.taken())
            if (m.kind == MessageKind::ButtonDown || m.kind == MessageKind::ButtonUp) seen.push_back(m);
    }
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].kind, MessageKind::ButtonDown);
    EXPECT_NEAR(seen[0].x, 100, 2);
    EXPECT_NEAR(seen[0].y, 25, 2);
    EXPECT_EQ(seen[1].kind, MessageKind::ButtonUp);
}

TEST(BoardWindow, APostFromAnotherThreadEndsTheWait) {
    Board board;
    std::thread poster([&board] {
        usleep(20000);
        WindowMessage m;
        m.kind = MessageKind::User;
        m.code = 7;
        board.window.post_message(std::move(m));
    });
    WindowMessage m;
    ASSERT_TRUE(board.window.get_message(m));
    poster.join();
    EXPECT_EQ(m.kind, MessageKind::User);
    EXPECT_EQ(m.code, 7u);
}

}  // namespace
}  // namespace vistrel
