#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "jpeg_samples.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

namespace fs = std::filesystem;

size_t count_of(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// The build installed into <temporary folder>/usr, with a user whose state and settings
// live in the same folder and a small photo collection.
class Installed : public ::testing::Test {
protected:
    void SetUp() override {
        const test::CommandResult installed = test::run_program(
            VISTREL_CMAKE, {"--install", VISTREL_BUILD_DIR, "--prefix", prefix()});
        ASSERT_EQ(installed.status, 0) << installed.out;
        // The program folder cannot be written, as in a system installation.
        fs::permissions(prefix() + "/bin", fs::perms::owner_read | fs::perms::owner_exec |
                                               fs::perms::group_read | fs::perms::group_exec |
                                               fs::perms::others_read | fs::perms::others_exec);
        fs::create_directories(m_dir.file("photos/Holiday"));
        test::write_bytes(m_dir.file("photos/Holiday/1.jpg"), test::make_jpeg({}));
        test::write_bytes(m_dir.file("photos/Holiday/2.jpg"), test::make_jpeg({}));
        test::write_file(m_dir.file("quit.txt"),
                         "settle\ndump " + m_dir.file("screens.txt") + "\nquit\n");
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(prefix() + "/bin", fs::perms::owner_all, fs::perm_options::add, ec);
    }

    std::string prefix() const { return m_dir.file("usr"); }
    std::string state() const { return m_dir.file("state/vistrel"); }
    test::CommandResult tool(const std::vector<std::string>& args) const {
        return test::run_program(prefix() + "/bin/vistrel-tool", args);
    }
    test::CommandResult vistrel(const std::vector<std::string>& args) const {
        return test::run_program(prefix() + "/bin/vistrel", args);
    }
    test::CommandResult index() const {
        return tool({"index", "--documents", m_dir.file("photos")});
    }

    test::TempDir m_dir;
    test::ScopedEnv m_state{"XDG_STATE_HOME", m_dir.file("state")};
    test::ScopedEnv m_home{"HOME", m_dir.file("home")};
    test::ScopedEnv m_settings{"VISTREL_SETTINGS", m_dir.file("settings.reg")};
    // A program of its own, not one handing its command line to another test's instance.
    test::ScopedEnv m_runtime{"XDG_RUNTIME_DIR", m_dir.str()};
};

TEST_F(Installed, FindsItsDataAndKeepsTheFolderListInTheStateFolder) {
    EXPECT_EQ(tool({"expand", "%data_path%"}).out, prefix() + "/share/vistrel\n");
    EXPECT_EQ(tool({"expand", "%state_path%"}).out, state() + "\n");
    const test::CommandResult files = tool({"expand", "--files"});
    EXPECT_EQ(files.status, 0) << files.out;
    EXPECT_NE(files.out.find(state() + "/folders.ini"), std::string::npos) << files.out;
    EXPECT_TRUE(fs::is_regular_file(prefix() + "/share/vistrel/skins/bin/default.skin"));
    EXPECT_TRUE(fs::is_regular_file(prefix() + "/share/applications/vistrel.desktop"));
    EXPECT_TRUE(fs::is_regular_file(prefix() + "/share/man/man1/vistrel.1.gz"));
    EXPECT_TRUE(fs::is_regular_file(prefix() + "/share/icons/hicolor/48x48/apps/vistrel.png"));

    const test::CommandResult first = index();
    ASSERT_EQ(first.status, 0) << first.out;
    EXPECT_NE(first.out.find("folder list: " + state() + "/folders.ini"), std::string::npos)
        << first.out;
    const test::CommandResult run = vistrel({"--headless", "--script", m_dir.file("quit.txt")});
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out.find("vistrel:"), std::string::npos) << run.out;
    // The album screen, built from the installed skin and language, lists the album.
    const std::string screens = test::read_file_bytes(m_dir.file("screens.txt"));
    EXPECT_NE(screens.find("Holiday"), std::string::npos) << screens;
    const test::CommandResult second = index();
    ASSERT_EQ(second.status, 0) << second.out;

    const test::CommandResult listed = tool({"folders"});
    EXPECT_EQ(listed.status, 0) << listed.out;
    EXPECT_EQ(count_of(listed.out, "Holiday"), 2u) << listed.out;  // folder and key picture
    std::vector<std::string> in_bin;
    for (const auto& entry : fs::directory_iterator(prefix() + "/bin"))
        in_bin.push_back(entry.path().filename().string());
    std::sort(in_bin.begin(), in_bin.end());
    EXPECT_EQ(in_bin, (std::vector<std::string>{"vistrel", "vistrel-tool"}));
}

// The package's copyright file names every library the programs link, so that adding one
// without its notice fails here; the change log's first entry is the version being built.
TEST_F(Installed, CarriesACopyrightNoticeForEachLinkedLibraryAndAChangeLog) {
    const std::string doc = prefix() + "/share/doc/vistrel/";
    const std::string copyright = test::read_file_bytes(doc + "copyright");
    ASSERT_EQ(copyright.rfind("Format: https://www.debian.org/doc/packaging-manuals/"
                              "copyright-format/1.0/\n", 0),
              0u)
        << copyright;
    EXPECT_NE(copyright.find("\nFiles: *\nCopyright: "), std::string::npos) << copyright;
    EXPECT_EQ(copyright.find("@VISTREL_"), std::string::npos) << "an unfilled placeholder";
    for (const std::string program : {"vistrel", "vistrel-tool"}) {
        const test::CommandResult linked = test::run_command(
            "readelf -d '" + prefix() + "/bin/" + program +
            "' | sed -n 's/.*(NEEDED).*\\[\\(.*\\)\\]/\\1/p'");
        ASSERT_EQ(linked.status, 0) << linked.out;
        size_t libraries = 0;
        std::istringstream names(linked.out);
        for (std::string soname; std::getline(names, soname);) {
            // The C and C++ run-time libraries come with the compiler and the system, as do
            // its OpenMP and sanitizer run-times (a sanitized build links those).
            bool runtime = false;
            for (const char* prefix : {"libc.", "libm.", "libgcc_s.", "libstdc++.", "libgomp.",
                                       "libasan.", "libubsan.", "libtsan."})
                runtime = runtime || soname.rfind(prefix, 0) == 0;
            if (runtime) continue;
            ++libraries;
            EXPECT_NE(copyright.find("usr/lib/*/" + soname + "*"), std::string::npos)
                << program << " links " << soname << ", which the copyright file omits";
        }
        EXPECT_GT(libraries, 0u) << linked.out;
    }

    const test::CommandResult changelog = test::run_program("gzip", {"-dc", doc + "changelog.gz"});
    ASSERT_EQ(changelog.status, 0) << changelog.out;
    EXPECT_EQ(changelog.out.rfind("vistrel (" VISTREL_VERSION ") ", 0), 0u) << changelog.out;
}

TEST_F(Installed, ReadsAListLeftBesideTheProgram) {
    fs::permissions(prefix() + "/bin", fs::perms::owner_write, fs::perm_options::add);
    const std::string beside = prefix() + "/bin/folders.ini";
    // Written as UTF-16 with its byte-order mark, as the program writes it.
    std::string bytes = "\xff\xfe";
    for (char c : std::string("KeyPicturePath0\t/old/Trip/1.jpg\nFolderSize0\t7\n")) {
        bytes += c;
        bytes += '\0';
    }
    test::write_file(beside, bytes);
    const test::CommandResult listed = tool({"folders"});
    EXPECT_EQ(listed.status, 0) << listed.out;
    EXPECT_NE(listed.out.find("folder 0: /old/Trip/"), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("pictures: 7"), std::string::npos) << listed.out;
    EXPECT_EQ(test::read_file_bytes(state() + "/folders.ini"), bytes);
    EXPECT_EQ(test::read_file_bytes(beside), bytes);
}

TEST_F(Installed, SlideShowRunsThroughTheFolderAndStartsOverWithLoop) {
    // A shown picture stays three seconds; the dumps fall on picture 1, 2, then past the end.
    test::write_file(m_dir.file("show.txt"), "settle\ndump " + m_dir.file("d1.txt") +
                                                 "\nwait 3500\ndump " + m_dir.file("d2.txt") +
                                                 "\nwait 3500\ndump " + m_dir.file("d3.txt") +
                                                 "\nquit\n");
    for (const bool loop : {false, true}) {
        std::vector<std::string> args{"--headless", "--slideshow", m_dir.file("photos/Holiday"),
                                      "--script", m_dir.file("show.txt")};
        if (loop) args.push_back("--loop");
        const test::CommandResult run = vistrel(args);
        EXPECT_EQ(run.status, 0) << run.out;
        const std::string first = test::read_file_bytes(m_dir.file("d1.txt"));
        const std::string second = test::read_file_bytes(m_dir.file("d2.txt"));
        const std::string after = test::read_file_bytes(m_dir.file("d3.txt"));
        EXPECT_NE(first.find("ImageViewer"), std::string::npos) << first;
        EXPECT_NE(first.find("text=\"1 2\""), std::string::npos) << first;
        EXPECT_NE(second.find("text=\"2 2\""), std::string::npos) << second;
        if (loop) {
            EXPECT_NE(after.find("text=\"1 2\""), std::string::npos) << after;
        } else {
            EXPECT_EQ(after.find("ImageViewer"), std::string::npos) << after;
        }
    }
    const test::CommandResult missing =
        vistrel({"--headless", "--slideshow", m_dir.file("nowhere"), "--loop"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(count_of(missing.out, "cannot find " + m_dir.file("nowhere")), 1u) << missing.out;
}

TEST_F(Installed, SaysWhichFileItCannotWriteOrFindAndGoesOn) {
    // The state folder cannot be made: a file stands where it would be.
    test::write_file(m_dir.file("blocked"), "");
    test::ScopedEnv blocked("XDG_STATE_HOME", m_dir.file("blocked"));
    const test::CommandResult indexed = index();
    EXPECT_EQ(indexed.status, 0) << indexed.out;
    EXPECT_EQ(count_of(indexed.out, "cannot write the folder list " + m_dir.file("blocked") +
                                        "/vistrel/folders.ini"),
              1u)
        << indexed.out;

    // A program copied away from its data names the folder it looked in.
    fs::create_directories(m_dir.file("lonely"));
    fs::copy_file(prefix() + "/bin/vistrel-tool", m_dir.file("lonely/vistrel-tool"));
    fs::copy_file(prefix() + "/bin/vistrel", m_dir.file("lonely/vistrel"));
    const test::CommandResult files =
        test::run_program(m_dir.file("lonely/vistrel-tool"), {"expand", "--files"});
    EXPECT_EQ(files.status, 1);
    EXPECT_NE(files.out.find("no language file (*.lng) in " + m_dir.file("lonely")),
              std::string::npos)
        << files.out;
    const test::CommandResult run = test::run_program(
        m_dir.file("lonely/vistrel"), {"--headless", "--script", m_dir.file("quit.txt")});
    EXPECT_EQ(count_of(run.out, "vistrel: no language file"), 1u) << run.out;
}

}  // namespace
}  // namespace vistrel
