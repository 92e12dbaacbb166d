// Random sessions of the whole program over real, made and damaged pictures.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>

#include "jpeg_samples.h"
#include "platform/process.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

namespace fs = std::filesystem;

// The process's peak resident memory a session may reach: the program peaks near 26 MB on
// the small screen and 35 to 45 MB on the large one. The viewer's target is 48 MB; the bound
// leaves room above it.
constexpr uint64_t kPeakMemoryBoundKb = 64 * 1024;
// Sanitizer builds play fewer steps; scripts/monkey.sh plays long sessions under them.
#if VISTREL_THREAD_SANITIZED
constexpr int kSessionSteps = 150;
#elif VISTREL_SANITIZED
constexpr int kSessionSteps = 500;
#else
constexpr int kSessionSteps = 2000;
#endif

struct SessionResult {
    int status = -1;
    std::string log;
    uint64_t played = 0;
    uint64_t peak_kb = 0;
    int starts = 0;  // how often the program started in the session
};

bool is_picture(const fs::path& path) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    return ext == ".jpg" || ext == ".jpeg";
}

std::set<std::string> pictures_below(const fs::path& root) {
    std::set<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file() && is_picture(entry.path()))
            found.insert(entry.path().string());
    return found;
}

// A folder of pictures for the sessions: the real corpus when there is one, pictures made
// here, and damaged copies (cut short, bit-flipped, empty).
class MonkeyFolder {
public:
    MonkeyFolder() {
        const fs::path docs = documents();
        fs::create_directories(docs / "made");
        fs::create_directories(docs / "damaged");
        // Stand-ins for the desktop's helpers (help pages, mail), so that a session opens
        // nothing on the desktop.
        fs::create_directories(stubs());
        for (const char* helper : {"xdg-open", "xdg-email"}) {
            test::write_file((stubs() / helper).string(), "#!/bin/sh\nexit 0\n");
            fs::permissions(stubs() / helper, fs::perms::owner_all);
        }
        if (const auto photos = test::photos_dir()) {
            fs::copy(*photos, docs / "photos", fs::copy_options::recursive);
            // The user's own copies: writable, so that the delete action can take them.
            for (const auto& entry : fs::recursive_directory_iterator(docs / "photos"))
                fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add);
        } else {
            std::printf("no photo corpus (../shared/photos): made and damaged pictures only\n");
        }
        const test::JpegOptions made[] = {
            {.width = 640, .height = 480, .pattern = 1},
            {.width = 1600, .height = 1200, .quality = 80, .pattern = 2},
            {.width = 48, .height = 900, .progressive = true, .pattern = 3},
            {.width = 333, .height = 251, .components = 1, .h = 1, .v = 1, .restart_rows = 1},
        };
        int index = 0;
        for (const test::JpegOptions& options : made) {
            const std::vector<uint8_t> bytes = test::make_jpeg(options);
            const std::string name = "made" + std::to_string(index++);
            write(docs / "made" / (name + ".jpg"), bytes);
            std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + bytes.size() / 2);
            write(docs / "damaged" / (name + "_cut.jpg"), cut);
            std::vector<uint8_t> flipped = bytes;
            for (size_t i = 20; i < flipped.size(); i += flipped.size() / 24 + 1)
                flipped[i] ^= uint8_t(1u << (i % 8));
            write(docs / "damaged" / (name + "_flipped.jpg"), flipped);
            write(docs / "damaged" / (name + "_empty.jpg"), {});
        }
    }

    fs::path documents() const { return m_root.path() / "documents"; }
    fs::path stubs() const { return m_root.path() / "stubs"; }

    // Runs the program with `options` in a private home over this folder; its exit status.
    int run(const std::vector<std::string>& options) const {
        const std::string home = (m_root.path() / "home").string();
        fs::create_directories(home);
        fs::permissions(home, fs::perms::owner_all, fs::perm_options::replace);
        test::ScopedEnv docs("VISTREL_DOCUMENTS", documents().string());
        test::ScopedEnv home_env("HOME", home);
        test::ScopedEnv config("XDG_CONFIG_HOME", home + "/config");
        test::ScopedEnv data("XDG_DATA_HOME", home + "/data");
        test::ScopedEnv runtime("XDG_RUNTIME_DIR", home);
        test::ScopedEnv settings("VISTREL_SETTINGS", home + "/settings.reg");
        test::ScopedEnv state("VISTREL_STATE", home + "/state");
        test::ScopedEnv cards("VISTREL_CARDS", "");
        test::ScopedEnv pictures("XDG_PICTURES_DIR", std::nullopt);
        const char* path = std::getenv("PATH");
        test::ScopedEnv helpers("PATH", stubs().string() + ":" + (path ? path : "/usr/bin:/bin"));
        std::vector<std::string> args{VISTREL_PROGRAM, "--headless"};
        args.insert(args.end(), options.begin(), options.end());
        return run_process(args);
    }

    // Plays a session.
    SessionResult play(uint32_t seed, int steps, const std::string& screen = "240x320",
                       const std::string& dpi = "96") const {
        const std::string log = m_root.file("monkey" + std::to_string(seed) + ".log");
        SessionResult result;
        result.status = run({"--screen", screen, "--dpi", dpi, "--monkey", std::to_string(seed),
                             "--steps", std::to_string(steps), "--monkey-log", log});
        result.log = test::read_file_bytes(log);
        std::smatch m;
        static const std::regex summary("# monkey: played ([0-9]+) steps, peak memory ([0-9]+) kB");
        if (std::regex_search(result.log, m, summary)) {
            result.played = std::stoull(m[1]);
            result.peak_kb = std::stoull(m[2]);
        }
        for (size_t at = 0; (at = result.log.find("it starts again", at)) != std::string::npos;
             ++at)
            ++result.starts;
        ++result.starts;
        return result;
    }

private:
    static void write(const fs::path& path, const std::vector<uint8_t>& bytes) {
        test::write_file(path.string(), std::string(bytes.begin(), bytes.end()));
    }

    test::TempDir m_root;
};

TEST(Monkey, SessionsOverRealAndDamagedPicturesEndWellAndLoseNothing) {
    MonkeyFolder folder;
    const std::set<std::string> before = pictures_below(folder.documents());
    // A small screen and a large one.
    const struct {
        uint32_t seed;
        const char* screen;
        const char* dpi;
    } sessions[] = {{1, "240x320", "96"}, {20261208, "480x640", "192"}};
    std::string logs;  // of every session so far, for the pictures they deleted
    for (const auto& [seed, screen, dpi] : sessions) {
        const SessionResult session = folder.play(seed, kSessionSteps, screen, dpi);
        ASSERT_EQ(session.status, 0)
            << "seed " << seed << "\n"
            << session.log.substr(session.log.size() > 4000 ? session.log.size() - 4000 : 0);
        // Every step was played; the program starts again when a step ends it.
        EXPECT_EQ(session.played, uint64_t(kSessionSteps)) << seed;
        std::printf("seed %u: %llu steps, %d start(s), peak memory %llu kB\n", seed,
                    static_cast<unsigned long long>(session.played), session.starts,
                    static_cast<unsigned long long>(session.peak_kb));
#if !VISTREL_SANITIZED
        EXPECT_GT(session.peak_kb, 0u);
        EXPECT_LE(session.peak_kb, kPeakMemoryBoundKb) << "seed " << seed;
#endif
        // A picture goes only through the delete action, which the session logs.
        logs += session.log;
        for (const std::string& picture : before) {
            if (fs::exists(picture)) continue;
            EXPECT_NE(logs.find("# deleted " + picture + "\n"), std::string::npos)
                << picture << " went missing (seed " << seed << ")";
        }
    }
}

// The steps of a session's log, its folder's path replaced, up to the closing line.
std::string steps_of(const SessionResult& session, const MonkeyFolder& folder) {
    std::string steps = session.log.substr(0, session.log.find("# monkey: played"));
    const std::string root = folder.documents().string();
    for (size_t at = 0; (at = steps.find(root, at)) != std::string::npos;)
        steps.replace(at, root.size(), "DOCUMENTS");
    return steps;
}

// The first line where two logs part, after the lines the two share before it, for the
// message.
std::string first_difference(const std::string& a, const std::string& b) {
    constexpr size_t kContext = 12;
    std::istringstream in_a(a), in_b(b);
    std::string line_a, line_b;
    std::deque<std::string> before;
    for (int line = 1;; ++line) {
        const bool more_a = bool(std::getline(in_a, line_a));
        const bool more_b = bool(std::getline(in_b, line_b));
        if (!more_a && !more_b) return {};
        if (line_a != line_b || more_a != more_b) {
            std::string context;
            for (const std::string& shared : before)
                context += "  " + shared + "\n";
            return context + "line " + std::to_string(line) + ": \"" + line_a + "\" against \"" +
                   line_b + "\"";
        }
        before.push_back(line_a);
        if (before.size() > kContext) before.pop_front();
    }
}

TEST(Monkey, ASeedPlaysTheSameStepsAgain) {
    // Each session from the same start: its own pictures and settings.
    MonkeyFolder folder, again;
    const SessionResult first = folder.play(77, 300);
    const SessionResult second = again.play(77, 300);
    ASSERT_EQ(first.status, 0);
    ASSERT_EQ(second.status, 0);
    const std::string steps = steps_of(first, folder);
    EXPECT_EQ(first_difference(steps, steps_of(second, again)), "");
    EXPECT_NE(steps, steps_of(folder.play(78, 300), folder));
    // The log is a script: the steps play again through --script.
    const std::string script = (again.documents().parent_path() / "again.txt").string();
    test::write_file(script, first.log.substr(0, first.log.find("# monkey: played")));
    EXPECT_EQ(again.run({"--screen", "240x320", "--dpi", "96", "--script", script}), 0);
}

TEST(Monkey, BadSessionOptionsFail) {
    test::TempDir dir;
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--monkey", "1"},
             {"--steps", "10"},
             {"--monkey", "-1", "--steps", "10"},
             {"--monkey", "1", "--steps", "0"},
             {"--monkey", "1", "--steps", "10", "--script", "s.txt"},
             {"--monkey", "1", "--steps", "10", "--monkey-log", dir.file("no/such/folder.log")}}) {
        std::vector<std::string> args{VISTREL_PROGRAM, "--headless"};
        args.insert(args.end(), bad.begin(), bad.end());
        EXPECT_NE(run_process(args), 0) << bad[0] << " " << bad[1];
    }
}

}  // namespace
}  // namespace vistrel
