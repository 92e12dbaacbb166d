#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "library/cache/cache_builder.h"
#include "library/cache/cache_file.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "screens/date_text.h"
#include "screens/picture_actions.h"
#include "viewer_test_support.h"

namespace vistrel {
namespace {

using test::ViewerTest;

TEST(SizeText, ReadsInByteKbyteAndMbyte) {
    Properties properties;
    EXPECT_EQ(size_text(properties, 1023), u"1023 byte");
    EXPECT_EQ(size_text(properties, 1536), u"1.5 kbyte");
    EXPECT_EQ(size_text(properties, 2047), u"1.10 kbyte");
    EXPECT_EQ(size_text(properties, 150000), u"146 kbyte");
    EXPECT_EQ(size_text(properties, 1572864), u"1.5 mbyte");
    EXPECT_EQ(size_text(properties, 200u << 20), u"200 mbyte");
}

// A language file of `lines` (UTF-16 with a byte-order mark) loaded into `properties`.
void use_language(Properties& properties, const test::TempDir& dir,
                  const std::vector<std::u16string>& lines) {
    std::string bytes = "\xFF\xFE";
    for (const std::u16string& line : lines)
        for (char16_t c : line + u"\r\n") {
            bytes.push_back(static_cast<char>(c & 0xFF));
            bytes.push_back(static_cast<char>(c >> 8));
        }
    test::write_file(dir.file("language.lng"), bytes);
    ASSERT_TRUE(properties.load_language(from_utf8(dir.file("language.lng"))));
}

TEST(DateText, TheTimeWithoutSecondsAndTheDateInTheLanguagesLongForm) {
    test::ScopedEnv tz("TZ", "UTC");
    test::ScopedEnv locale("LC_ALL", "C");
    tzset();
    const std::time_t t = 1700000000;  // Tuesday 14 November 2023, 22:13:20 UTC
    EXPECT_EQ(local_time_text(t), u"22:13");
    test::TempDir dir;
    Properties properties;
    // Without the language's form: the locale's names, day before month.
    EXPECT_EQ(long_date_text(properties, t), u"Tuesday 14 November 2023");
    use_language(properties, dir,
                 {u"LongDate={weekday}, {day}. {month} {year}",
                  u"DayNames=Sonntag, Montag,Dienstag,Mittwoch,Donnerstag,Freitag,Samstag",
                  u"MonthNames=Januar,Februar,März,April,Mai,Juni,Juli,August,September,Oktober,"
                  u"November,Dezember"});
    EXPECT_EQ(long_date_text(properties, t), u"Dienstag, 14. November 2023");
    EXPECT_EQ(long_date_text(properties, t - 250 * 86400), u"Donnerstag, 9. März 2023");
    // A list of the wrong length is not used: the locale names the month.
    use_language(properties, dir, {u"LongDate={month} {day} {year}", u"MonthNames=a,b,c"});
    EXPECT_EQ(long_date_text(properties, t), u"November 14 2023");
}

TEST(PropertiesText, ShowsNamesThatAreNoUtf8Readably) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.file("f\xF6lder"));
    const std::string file = dir.file("f\xF6lder/caf\xE9.jpg");
    test::write_file(file, "not a picture");
    Properties properties;
    const std::u16string text = properties_text(properties, from_file_name(file), {});
    EXPECT_NE(text.find(u"Name : caf\u00E9.jpg\n"), std::u16string::npos) << to_utf8(text);
    EXPECT_NE(text.find(u"f\u00F6lder\n"), std::u16string::npos) << to_utf8(text);
    for (char16_t c : text) EXPECT_FALSE(c >= 0xDC80 && c <= 0xDCFF) << to_utf8(text);
}

TEST_F(ViewerTest, PropertiesListTheName_Folder_Resolution_FormatAndSizeInTheLanguage) {
    make_pictures(1, {600, 400});
    open(0);
    viewer->show_properties();
    ASSERT_TRUE(viewer->properties_button()->visible());
    std::u16string text = viewer->properties_button()->text();
    EXPECT_NE(text.find(u"Name : pic0.jpg\n"), std::u16string::npos) << to_utf8(text);
    EXPECT_NE(text.find(u"Folder : " + from_utf8(dir.file("photos")) + u"\n"), std::u16string::npos);
    EXPECT_NE(text.find(u"Resolution : 600x400\n"), std::u16string::npos);
    EXPECT_NE(text.find(u"Format : JPEG\n"), std::u16string::npos) << to_utf8(text);
    EXPECT_NE(text.find(u"Size : " + size_text(properties, std::filesystem::file_size(picture_files[0]))),
              std::u16string::npos);
    EXPECT_NE(text.find(u"Date : "), std::u16string::npos);
    EXPECT_NE(text.find(u"Time : "), std::u16string::npos);
    // Every label comes from the language file: the shipped Russian one names them all.
    ASSERT_TRUE(properties.load_language(from_utf8(VISTREL_SOURCE_DIR "/lang/Russian.lng")));
    viewer->show_properties();
    text = viewer->properties_button()->text();
    EXPECT_NE(text.find(u"Имя : pic0.jpg\n"), std::u16string::npos) << to_utf8(text);
    EXPECT_NE(text.find(u"Разрешение : 600x400\n"), std::u16string::npos) << to_utf8(text);
    EXPECT_NE(text.find(u"Формат : JPEG\n"), std::u16string::npos) << to_utf8(text);
    for (const char16_t* english : {u"Name :", u"Folder :", u"Resolution :", u"Format :", u"Size :",
                                    u"Date :", u"Time :"})
        EXPECT_EQ(text.find(english), std::u16string::npos) << to_utf8(text);
}

TEST_F(ViewerTest, TheMenusOfferWhatThePictureHas) {
    make_pictures(1, {1200, 900});
    open(0);
    viewer->open_options();
    ASSERT_TRUE(viewer->menu());
    std::vector<std::u16string> ids;
    for (const MenuItem& item : viewer->menu()->entries()) ids.push_back(item.id);
    EXPECT_EQ(ids, (std::vector<std::u16string>{u"Delete", u"Send", u"Properties", u"Shuffle",
                                                u"Cancel"}));
    viewer->menu()->choose(1);
    ids.clear();
    for (const MenuItem& item : viewer->menu()->entries()) ids.push_back(item.id);
    // 1200 x 900 has two reduced levels in its cache below full size... and the smallest.
    ASSERT_GE(ids.size(), 3u);
    EXPECT_EQ(ids.front(), u"Original");
    EXPECT_EQ(ids.back(), u"Cancel");
    EXPECT_EQ(viewer->menu()->entries()[0].text,
              u"Original (" + size_text(properties, std::filesystem::file_size(picture_files[0])) + u")");
    viewer->menu()->choose(static_cast<int>(ids.size()) - 1);
    EXPECT_FALSE(viewer->menu()->is_open());
}

// A picture opened before its cache file exists is read from its file, and stays so when
// the file arrives (so that the zoom stays); it offers the reduced versions all the same,
// as when it is opened again.
TEST_F(ViewerTest, APictureWhoseCacheArrivesWhileShownOffersItsReducedVersions) {
    build_caches = false;
    make_pictures(1, {1200, 900}, false);
    open(0);
    settle();
    const auto send_entries = [&] {
        viewer->open_options();
        viewer->menu()->choose(1);
        std::vector<std::u16string> ids;
        for (const MenuItem& item : viewer->menu()->entries()) ids.push_back(item.id);
        viewer->menu()->choose(static_cast<int>(ids.size()) - 1);
        return ids;
    };
    EXPECT_EQ(send_entries(), (std::vector<std::u16string>{u"Original", u"Cancel"}));
    ASSERT_TRUE(build_cache_file(pictures[0], dir.u16(), [] { return false; }));
    const std::vector<std::u16string> ids = send_entries();
    ASSERT_GE(ids.size(), 3u);
    EXPECT_EQ(ids[1], u"Large");
    // The version sent is the cache file's.
    const std::string bin = dir.file("bin");
    std::filesystem::create_directories(bin);
    test::write_file(bin + "/xdg-email", "#!/bin/sh\nexit 0\n");
    std::filesystem::permissions(bin + "/xdg-email", std::filesystem::perms::owner_all);
    test::ScopedEnv path("PATH", bin + ":/bin:/usr/bin");
    EXPECT_TRUE(viewer->send_current(1));
}

TEST_F(ViewerTest, SendingHandsTheFileToTheMailProgramOrSaysThereIsNone) {
    make_pictures(1, {1200, 900});
    open(0);
    // A stand-in mail program that notes its arguments.
    const std::string bin = dir.file("bin");
    std::filesystem::create_directories(bin);
    const std::string log = dir.file("mail.log");
    {
        std::ofstream script(bin + "/xdg-email");
        script << "#!/bin/sh\necho \"$@\" > " << log << "\n";
    }
    std::filesystem::permissions(bin + "/xdg-email", std::filesystem::perms::owner_all);
    {
        test::ScopedEnv path("PATH", bin + ":/bin:/usr/bin");
        EXPECT_TRUE(viewer->send_current(1));
        for (int i = 0; i < 200 && !std::filesystem::exists(log); ++i) sleep_ms(5);
        sleep_ms(20);
    }
    const std::string sent = to_utf8(send_file_path(dir.u16()));
    EXPECT_EQ(test::read_file_bytes(log), "--attach " + sent + "\n");
    // The reduced version is a JPEG of its own.
    const auto bytes = test::read_bytes(sent);
    ASSERT_GT(bytes.size(), 2u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xD8);
    EXPECT_TRUE(viewer->message().empty());
    {
        test::ScopedEnv path("PATH", dir.file("nothing"));
        EXPECT_FALSE(viewer->send_current(0));
    }
    EXPECT_FALSE(viewer->message().empty());
    EXPECT_TRUE(viewer->properties_button()->visible());
    // In the user's language.
    use_language(properties, dir, {u"NoMailClient=Kein E-Mail-Programm"});
    {
        test::ScopedEnv path("PATH", dir.file("nothing"));
        EXPECT_FALSE(viewer->send_current(0));
    }
    EXPECT_EQ(viewer->message(), u"Kein E-Mail-Programm");
}

// Without a trash a delete is for good, and a picture not cached yet is not deleted.
TEST_F(ViewerTest, WithoutATrashAPictureWithoutItsCacheFileIsNotDeleted) {
    // A data folder that is a file: the home trash cannot be made.
    test::write_file(dir.file("no-data"), "");
    test::ScopedEnv no_trash("XDG_DATA_HOME", dir.file("no-data"));
    build_caches = false;
    make_pictures(2, {600, 400}, false);
    open(0);
    EXPECT_FALSE(viewer->delete_current());
    EXPECT_TRUE(std::filesystem::exists(picture_files[0]));
    EXPECT_EQ(viewer->pictures().size(), 2u);
}

// The trash takes a picture whether or not its cache file was built; the one that was is
// removed with it.
TEST_F(ViewerTest, APictureGoesToTheTrashWithOrWithoutItsCacheFile) {
    build_caches = false;
    make_pictures(3, {600, 400}, false);
    open(0);
    const std::filesystem::path first = picture_files[0];
    EXPECT_TRUE(viewer->delete_current()) << to_utf8(viewer->message());
    EXPECT_TRUE(viewer->message().empty()) << to_utf8(viewer->message());
    EXPECT_FALSE(std::filesystem::exists(first));
    EXPECT_TRUE(std::filesystem::exists(dir.file("data/Trash/files/" + first.filename().string())));
    EXPECT_TRUE(std::filesystem::exists(
        dir.file("data/Trash/info/" + first.filename().string() + ".trashinfo")));
    ASSERT_EQ(viewer->pictures().size(), 2u);

    // A cached picture: its cache file goes too.
    const std::u16string second = viewer->pictures()[0];
    ASSERT_TRUE(build_cache_file(second, dir.u16(), [] { return false; }));
    const std::u16string cache = cache_file_name(second, dir.u16());
    ASSERT_TRUE(std::filesystem::exists(to_utf8(expand_path(cache))));
    EXPECT_TRUE(viewer->delete_current()) << to_utf8(viewer->message());
    EXPECT_FALSE(std::filesystem::exists(to_utf8(expand_path(cache))));
    EXPECT_FALSE(std::filesystem::exists(to_utf8(expand_path(second))));
    EXPECT_EQ(viewer->pictures().size(), 1u);
}

}  // namespace
}  // namespace vistrel
