#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "platform/registry.h"
#include "platform/settings_store.h"
#include "platform/text.h"
#include "platform/threads.h"
#include "platform/trace.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

using test::ScopedEnv;
using test::TempDir;

class TraceTest : public ::testing::Test {
protected:
    void SetUp() override { SettingsStore::use_file(m_dir.file("settings.reg")); }
    void TearDown() override { switch_log(false); }

    void switch_log(bool on) { ASSERT_TRUE(write_dword(kTekuKey, kLogValue, on ? 1 : 0)); }
    std::string log_file() const { return m_dir.file("test_platform.txt"); }
    // The log's text without its byte-order mark.
    std::u16string log_text() const {
        const std::string bytes = test::read_file_bytes(log_file());
        std::u16string text;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text.push_back(char16_t(uint8_t(bytes[i]) | (uint8_t(bytes[i + 1]) << 8)));
        return text;
    }

    TempDir m_dir;
    ScopedEnv m_tmp{"TMPDIR", m_dir.str()};
};

TEST_F(TraceTest, OffByDefaultAndCreatesNoFile) {
    trace() << "nothing\n";
    EXPECT_FALSE(trace().enabled());
    EXPECT_FALSE(std::filesystem::exists(log_file()));
}

TEST_F(TraceTest, SwitchingOnStartsAFreshFileWithAByteOrderMark) {
    switch_log(true);
    EXPECT_EQ(trace_file_path(), from_utf8(log_file()));
    trace() << 1234 << "WinMain 0\n";
    const std::string bytes = test::read_file_bytes(log_file());
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(uint8_t(bytes[0]), 0xFF);
    EXPECT_EQ(uint8_t(bytes[1]), 0xFE);
    EXPECT_EQ(log_text(), u"1234WinMain 0\n");
    switch_log(false);
    trace() << "dropped\n";
    switch_log(true);
    trace() << "again\n";
    EXPECT_EQ(log_text(), u"again\n");  // each switch-on truncates
}

TEST_F(TraceTest, WritesEveryKindOfValue) {
    switch_log(true);
    trace() << u"wide " << std::u16string(u"\u0416 ") << "narrow\x80 " << -42 << " " << true
            << " " << false << " " << 2.5 << " " << uint32_t(4000000000u) << "\n";
    EXPECT_EQ(log_text(), u"wide \u0416 narrow\uFF80 -42 true false 2.500000 4000000000\n");
}

TEST_F(TraceTest, LogFatalWritesItsLineAndExitsWithZero) {
    switch_log(true);
    EXPECT_EXIT(log_fatal("get_app_path()", "path is more then MAX_PATH long"),
                ::testing::ExitedWithCode(1), "Gluck: path is more then MAX_PATH long @ get_app_path\\(\\)");
    EXPECT_NE(log_text().find(u"Gluck: path is more then MAX_PATH long @ get_app_path()\n"),
              std::u16string::npos);
}

TEST_F(TraceTest, SwitchingWhileOtherThreadsWriteIsSafe) {
    std::atomic<bool> done{false};
    std::vector<std::thread> writers;
    for (int t = 0; t < 3; ++t) {
        writers.emplace_back([&, t] {
            while (!done) trace() << "thread " << t << " line\n";
        });
    }
    // Each switch is looked at here too: a switch-on truncates the file only when the
    // switch-off before it was seen, and the writers may not get to see it.
    for (int i = 0; i < 20; ++i) {
        switch_log(i % 2 == 0);
        trace() << "";
    }
    done = true;
    for (auto& w : writers) w.join();
    switch_log(true);
    trace() << "last\n";
    EXPECT_EQ(log_text(), u"last\n");
}

}  // namespace
}  // namespace vistrel
