// One running instance: the lock files, the socket and the private folder they are in;
// a message box brought to the front by a later start.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <condition_variable>
#include <filesystem>

#include <atomic>
#include <cstring>
#include <future>
#include <mutex>
#include <thread>

#include "message_box.h"
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
    EXPECT_FALSE(done.load());  // waiting for the first instance's window (up to 10 s)
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
    ::chmod(probe.lock_path().c_str(), 0600);
    SingleInstance start(u"DezivovClass_Test", dir.u16());
    EXPECT_FALSE(start.show_running_instance_open_bracket(u"x"));
    start.close_bracket({});
    EXPECT_TRUE(start.listening());
    start.stop_listening();
    // Once the first instance stops listening, the next start is a first instance again.
    SingleInstance next(u"DezivovClass_Test", dir.u16());
    EXPECT_FALSE(next.show_running_instance_open_bracket(u"y"));
}

// A first instance whose listening thread is stuck in its receiver until released.
struct StuckReceiver {
    std::mutex mutex;
    std::condition_variable changed;
    bool released = false;
    std::vector<std::u16string> lines;
    void receive(const std::u16string& line) {
        std::unique_lock lock(mutex);
        lines.push_back(line);
        changed.wait(lock, [this] { return released; });
    }
    void release() {
        std::lock_guard lock(mutex);
        released = true;
        changed.notify_all();
    }
};

constexpr InstanceWaits kShortWaits{50, 50};

TEST(SingleInstanceLock, ALivingInstanceThatDoesNotAnswerIsNotDuplicated) {
    test::TempDir dir;
    StuckReceiver stuck;
    SingleInstance first(u"DezivovClass_Test", dir.u16());
    ASSERT_FALSE(first.show_running_instance_open_bracket({}));
    first.close_bracket([&](const std::u16string& text) { stuck.receive(text); });
    {
        // The first answer is stuck: the start ends, its socket and locks left alone.
        SingleInstance second(u"DezivovClass_Test", dir.u16(), kShortWaits);
        EXPECT_TRUE(second.show_running_instance_open_bracket(u"/a"));
        EXPECT_NE(second.note().find("busy"), std::string::npos) << second.note();
        EXPECT_FALSE(second.listening());
    }
    EXPECT_TRUE(std::filesystem::exists(first.socket_path()));
    // A start while the first one is still before its window waits, then ends.
    SingleInstance starting(u"DezivovClass_Other", dir.u16());
    ASSERT_FALSE(starting.show_running_instance_open_bracket({}));
    SingleInstance third(u"DezivovClass_Other", dir.u16(), kShortWaits);
    EXPECT_TRUE(third.show_running_instance_open_bracket(u"/b"));
    EXPECT_NE(third.note().find("starting"), std::string::npos) << third.note();
    stuck.release();
    first.stop_listening();
    std::lock_guard lock(stuck.mutex);
    EXPECT_EQ(stuck.lines, std::vector<std::u16string>{u"/a"});  // handed over after all
}

TEST(SingleInstanceLock, ALivingInstanceWithoutItsSocketIsNotDuplicated) {
    test::TempDir dir;
    SingleInstance first(u"DezivovClass_Test", dir.u16());
    ASSERT_FALSE(first.show_running_instance_open_bracket({}));
    first.close_bracket({});
    ASSERT_EQ(::unlink(first.socket_path().c_str()), 0);  // removed behind its back
    SingleInstance second(u"DezivovClass_Test", dir.u16(), kShortWaits);
    EXPECT_TRUE(second.show_running_instance_open_bracket(u"/a"));
    EXPECT_FALSE(second.note().empty());
}

TEST(SingleInstanceFolder, FoldersAndFilesOthersCanReachAreRefused) {
    test::TempDir dir;
    const std::string open = dir.file("open");
    std::filesystem::create_directories(open);
    ::chmod(open.c_str(), 0755);
    EXPECT_FALSE(is_private_folder(open));
    EXPECT_TRUE(is_private_folder(dir.str()));
    SingleInstance in_open(u"DezivovClass_Test", from_utf8(open));
    EXPECT_FALSE(in_open.enabled());
    EXPECT_FALSE(in_open.show_running_instance_open_bracket(u"/a"));  // runs, unchecked
    in_open.close_bracket({});
    EXPECT_FALSE(in_open.listening());
    EXPECT_TRUE(std::filesystem::is_empty(open));

    // A lock file that is a link, or one others may open, is not used.
    SingleInstance probe(u"DezivovClass_Test", dir.u16());
    ASSERT_EQ(::symlink(dir.file("elsewhere").c_str(), probe.lock_path().c_str()), 0);
    EXPECT_FALSE(probe.show_running_instance_open_bracket(u"/a"));
    EXPECT_FALSE(probe.enabled());
    EXPECT_FALSE(std::filesystem::exists(dir.file("elsewhere")));
    SingleInstance other(u"DezivovClass_Other", dir.u16());
    test::write_file(other.lock_path(), "");
    ::chmod(other.lock_path().c_str(), 0666);
    EXPECT_FALSE(other.show_running_instance_open_bracket(u"/a"));
    EXPECT_FALSE(other.enabled());
}

TEST(SingleInstanceFolder, WithoutARuntimeFolderAPrivateOneIsMadeInTheTemporaryFolder) {
    test::TempDir dir;
    test::ScopedEnv runtime("XDG_RUNTIME_DIR", std::nullopt);
    test::ScopedEnv temp("TMPDIR", dir.str());
    const std::string made = dir.file("vistrel-" + std::to_string(::geteuid()));
    EXPECT_EQ(private_runtime_folder(), made);
    EXPECT_TRUE(is_private_folder(made));
    // A runtime folder open to others is passed over.
    const std::string shared = dir.file("shared");
    std::filesystem::create_directories(shared);
    ::chmod(shared.c_str(), 0777);
    test::ScopedEnv open_runtime("XDG_RUNTIME_DIR", shared);
    EXPECT_EQ(private_runtime_folder(), made);
    // The folder of that name, opened to others behind the program's back, is refused.
    ::chmod(made.c_str(), 0777);
    EXPECT_EQ(private_runtime_folder(), "");
    SingleInstance unchecked(u"DezivovClass_Test");
    EXPECT_FALSE(unchecked.enabled());
}

TEST(MessageBox, ALaterStartBringsTheShownBoxToTheFront) {
    EXPECT_FALSE(raise_message_box());  // no box
    std::mutex mutex;
    std::condition_variable changed;
    bool close = false;
    int raised = 0;
    std::thread::id raised_on;
    std::thread asker([&] {
        while (!raise_message_box()) std::this_thread::yield();
    });
    show_raisable(
        [&] {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return close; });
        },
        [&] {
            std::lock_guard lock(mutex);
            ++raised;
            raised_on = std::this_thread::get_id();
            close = true;  // the user closes the box once it is in front
            changed.notify_all();
        });
    asker.join();
    EXPECT_EQ(raised, 1);
    EXPECT_EQ(raised_on, std::this_thread::get_id());  // on the window's own thread
    EXPECT_FALSE(raise_message_box());
}

}  // namespace
}  // namespace vistrel
