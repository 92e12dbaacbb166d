#include <gtest/gtest.h>

#include <filesystem>

#include "platform/app_folders.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

namespace fs = std::filesystem;

TEST(AppFolders, DataBesideTheProgramElseInTheInstallationsShareFolder) {
    test::TempDir dir;
    fs::create_directories(dir.file("build/app/skins/bin"));
    EXPECT_EQ(locate_data_folder(from_utf8(dir.file("build/app"))),
              from_utf8(dir.file("build/app")));
    fs::create_directories(dir.file("lang-only"));
    test::write_file(dir.file("lang-only/english.lng"), "");
    EXPECT_EQ(locate_data_folder(from_utf8(dir.file("lang-only"))),
              from_utf8(dir.file("lang-only")));

    fs::create_directories(dir.file("usr/bin"));
    // Without a share folder the program's own folder is named, so messages say where.
    EXPECT_EQ(locate_data_folder(from_utf8(dir.file("usr/bin"))), from_utf8(dir.file("usr/bin")));
    fs::create_directories(dir.file("usr/share/vistrel"));
    EXPECT_EQ(locate_data_folder(from_utf8(dir.file("usr/bin"))),
              from_utf8(dir.file("usr/share/vistrel")));
}

TEST(AppFolders, StateInTheBuildFolderElseInTheUsersStateFolder) {
    test::TempDir dir;
    fs::create_directories(dir.file("app/skins"));
    const std::u16string app = from_utf8(dir.file("app"));
    const std::u16string bin = from_utf8(dir.file("usr/bin"));
    const std::u16string share = from_utf8(dir.file("usr/share/vistrel"));
    test::ScopedEnv state("XDG_STATE_HOME", dir.file("state"));
    test::ScopedEnv home("HOME", dir.file("home"));
    EXPECT_EQ(locate_state_folder(app, app), app);
    EXPECT_EQ(locate_state_folder(bin, share), from_utf8(dir.file("state/vistrel")));
    {
        test::ScopedEnv relative("XDG_STATE_HOME", "relative/state");
        EXPECT_EQ(locate_state_folder(bin, share),
                  from_utf8(dir.file("home/.local/state/vistrel")));
        test::ScopedEnv no_home("HOME", std::nullopt);
        EXPECT_EQ(locate_state_folder(bin, share), bin);
    }
    // A chosen folder comes first, even for a build folder.
    test::ScopedEnv chosen("VISTREL_STATE", dir.file("chosen"));
    EXPECT_EQ(locate_state_folder(app, app), from_utf8(dir.file("chosen")));
}

}  // namespace
}  // namespace vistrel
