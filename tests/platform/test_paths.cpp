#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/paths.h"
#include "platform/settings_store.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

using test::ScopedEnv;
using test::TempDir;

std::u16string app_folder() {
    const std::u16string app = get_app_path();
    return app.substr(0, app.find_last_of(u'/'));
}

TEST(Paths, AppPathIsThisProgram) {
    const std::u16string app = get_app_path();
    ASSERT_FALSE(app.empty());
    EXPECT_EQ(app.front(), u'/');
    EXPECT_EQ(app.substr(app.find_last_of(u'/') + 1), u"test_platform");
    EXPECT_EQ(expand_path(u"%app_full_name%"), app);
    EXPECT_EQ(expand_path(u"%app_name%"), u"test_platform");
}

TEST(Paths, MacrosExpandOnlyAtTheStart) {
    EXPECT_EQ(expand_path(u"%app_path%/skins/bin"), app_folder() + u"/skins/bin");
    EXPECT_EQ(expand_path(u"%app_path%\\skins\\bin"), app_folder() + u"/skins/bin");
    EXPECT_EQ(expand_path(u"logs\\%app_name%.txt"), u"logs/%app_name%.txt");
    EXPECT_EQ(expand_path(u"%unknown%\\x"), u"%unknown%/x");
    EXPECT_EQ(expand_path(u""), u"");
}

TEST(Paths, DocumentsFolderComesFromTheEnvironmentOrThePicturesFolder) {
    TempDir dir;
    {
        ScopedEnv docs("VISTREL_DOCUMENTS", dir.str());
        EXPECT_EQ(expand_path(u"%my_documents%\\a.jpg"), dir.u16() + u"/a.jpg");
    }
    {
        // A chosen folder that does not exist expands to empty text.
        ScopedEnv docs("VISTREL_DOCUMENTS", dir.file("missing"));
        EXPECT_EQ(expand_path(u"%my_documents%"), u"");
    }
    std::filesystem::create_directories(dir.path() / "cfg");
    std::filesystem::create_directories(dir.path() / "Bilder");
    test::write_file(dir.file("cfg/user-dirs.dirs"), "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
    ScopedEnv none("VISTREL_DOCUMENTS", std::nullopt);
    ScopedEnv pictures("XDG_PICTURES_DIR", std::nullopt);
    ScopedEnv home("HOME", dir.str());
    ScopedEnv config("XDG_CONFIG_HOME", dir.file("cfg"));
    EXPECT_EQ(special_folder(SpecialFolder::Documents), dir.u16() + u"/Bilder");
}

TEST(Paths, MissingSpecialFoldersExpandToEmptyText) {
    TempDir dir;
    ScopedEnv home("HOME", dir.str());
    ScopedEnv config("XDG_CONFIG_HOME", std::nullopt);
    ScopedEnv data("XDG_DATA_HOME", std::nullopt);
    EXPECT_EQ(expand_path(u"%windows%"), u"");
    EXPECT_EQ(expand_path(u"%startup%\\x"), u"/x");
    std::filesystem::create_directories(dir.path() / ".config/autostart");
    EXPECT_EQ(expand_path(u"%startup%"), dir.u16() + u"/.config/autostart");
}

TEST(Paths, CreateDirectoryMakesEveryMissingFolder) {
    TempDir dir;
    create_directory(dir.u16() + u"\\a\\b/c\\");
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "a/b/c"));
    create_directory(dir.u16() + u"/a/b/c");  // already there: no harm
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "a/b/c"));
}

TEST(Paths, FileOperationsReportFailure) {
    TempDir dir;
    test::write_file(dir.file("f"), "12345");
    const FileInfo info = file_info(from_utf8(dir.file("f")));
    EXPECT_TRUE(info.exists && info.is_regular && !info.is_directory);
    EXPECT_EQ(info.size, 5u);
    EXPECT_GT(info.modified_ns, 0);
    EXPECT_FALSE(file_info(from_utf8(dir.file("none"))).exists);
    EXPECT_TRUE(rename_file(from_utf8(dir.file("f")), from_utf8(dir.file("g"))));
    EXPECT_FALSE(delete_file(dir.u16()));  // folders are not deleted
    EXPECT_TRUE(delete_file(from_utf8(dir.file("g"))));
    EXPECT_FALSE(delete_file(from_utf8(dir.file("g"))));
    EXPECT_TRUE(total_bytes(dir.u16()).has_value());
    EXPECT_FALSE(total_bytes(from_utf8(dir.file("none"))).has_value());
}

TEST(Paths, ExecuteFileRefusesWhatCannotStart) {
    TempDir dir;
    ScopedEnv path("PATH", dir.str());  // no xdg-open to be found
    SettingsStore::use_file(dir.file("settings.reg"));
    EXPECT_FALSE(execute_file(from_utf8(dir.file("picture.jpg")), u""));
    test::write_file(dir.file("tool.sh"), "#!/bin/sh\nexit 0\n");
    chmod(dir.file("tool.sh").c_str(), 0755);
    EXPECT_TRUE(execute_file(from_utf8(dir.file("tool.sh")), u"--attach x"));
}

}  // namespace
}  // namespace vistrel
