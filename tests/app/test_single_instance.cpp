// One running instance: the lock file and the socket.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <future>
#include <mutex>
#include <thread>

#include "platform/single_instance.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

struct Received {
    std::mutex mutex;
    std::vector<std::u16string> lines;
    void add(const std::u16string& line) {
        std::lock_guard lock(mutex);
        lines.push_back(line);
    }
};

TEST(SingleInstanceLock, ALaterStartWaitsForTheWindowThenHandsOver) {
    test::TempDir dir;
    Received received;
    SingleInstance first(u"DezivovClass_Test", dir.u16());
    ASSERT_FALSE(first.show_running_instance_open_bracket(u"ignored"));
    std::atomic<bool> done{false};
    auto second = std::async(std::launch::async, [&] {
        SingleInstance later(u"DezivovClass_Test", dir.u16());
        const bool handed = later.show_running_instance_open_bracket(u"/pictures/Trip");
        done = true;
        return handed;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(done.load());  // waiting for the first instance's window
    first.close_bracket([&](const std::u16string& text) { received.add(text); });
    EXPECT_TRUE(second.get());
    std::lock_guard lock(received.mutex);
    EXPECT_EQ(received.lines, std::vector<std::u16string>{u"/pictures/Trip"});
}

TEST(SingleInstanceLock, AnEmptyCommandLineArrivesEmpty) {
    test::TempDir dir;
    Received received;
    SingleInstance first(u"DezivovClass_Test", dir.u16());
    ASSERT_FALSE(first.show_running_instance_open_bracket({}));
    first.close_bracket([&](const std::u16string& text) { received.add(text); });
    SingleInstance second(u"DezivovClass_Test", dir.u16());
    EXPECT_TRUE(second.show_running_instance_open_bracket({}));
    std::lock_guard lock(received.mutex);
    EXPECT_EQ(received.lines, std::vector<std::u16string>{u""});
}

TEST(SingleInstanceLock, ASocketLeftByAKilledInstanceIsTakenOver) {
    test::TempDir dir;
    SingleInstance probe(u"DezivovClass_Test", dir.u16());
    {
        // A socket file nobody listens on, as a killed instance leaves it.
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, probe.socket_path().c_str(), sizeof address.sun_path - 1);
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
    }
    test::write_file(probe.lock_path(), "stale");
    SingleInstance start(u"DezivovClass_Test", dir.u16());
    EXPECT_FALSE(start.show_running_instance_open_bracket(u"x"));
    start.close_bracket({});
    EXPECT_TRUE(start.listening());
    start.stop_listening();
    // Once the first instance stops listening, the next start is a first instance again.
    SingleInstance next(u"DezivovClass_Test", dir.u16());
    EXPECT_FALSE(next.show_running_instance_open_bracket(u"y"));
}

}  // namespace
}  // namespace vistrel
