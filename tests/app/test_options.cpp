#include <gtest/gtest.h>

#include "options.h"

namespace vistrel {
namespace {

TEST(Options, DeviceProfileFromTheCommandLine) {
    AppOptions o;
    std::string error;
    ASSERT_TRUE(parse_options({"--screen", "240x320", "--dpi", "96", "--smartphone",
                               "--orientation", "3", "--headless", "--script", "s.txt"},
                              o, error))
        << error;
    EXPECT_EQ(o.profile.screen, (Size{240, 320}));
    EXPECT_EQ(o.profile.dpi, 96);
    EXPECT_TRUE(o.profile.smartphone);
    EXPECT_EQ(o.profile.orientation, 3);
    EXPECT_TRUE(o.headless);
    EXPECT_EQ(o.script, "s.txt");
    EXPECT_TRUE(o.path.empty());
    AppOptions with_path;
    ASSERT_TRUE(parse_options({"--headless", "/pictures/Trip/../Trip"}, with_path, error));
    EXPECT_EQ(with_path.path, "/pictures/Trip");
    AppOptions relative;
    ASSERT_TRUE(parse_options({"Trip"}, relative, error));
    EXPECT_EQ(relative.path.front(), '/');
    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{"--screen", "240"},
                                               {"--screen", "8x8"},
                                               {"--screen", "240x-1"},
                                               {"--dpi", "0"},
                                               {"--orientation", "4"},
                                               {"--script"},
                                               {"--bogus"},
                                               {"one", "two"}}) {
        AppOptions other;
        EXPECT_FALSE(parse_options(bad, other, error)) << bad[0];
    }
}

TEST(Options, SlideShowFromTheCommandLine) {
    AppOptions o;
    std::string error;
    ASSERT_TRUE(parse_options(
        {"--framebuffer", "/dev/fb0", "--slideshow", "/srv/photos", "--loop", "--shuffle"}, o,
        error))
        << error;
    EXPECT_EQ(o.slideshow, "/srv/photos");
    EXPECT_TRUE(o.loop);
    EXPECT_TRUE(o.shuffle);
    EXPECT_EQ(o.profile.framebuffer, "/dev/fb0");
    AppOptions once;
    ASSERT_TRUE(parse_options({"--slideshow", "a.jpg"}, once, error)) << error;
    EXPECT_FALSE(once.loop);
    EXPECT_FALSE(once.shuffle);
    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{"--loop"},
                                               {"--shuffle"},
                                               {"--slideshow"},
                                               {"--slideshow", ""},
                                               {"--loop", "--headless"},
                                               {"--slideshow", "a", "b.jpg"}}) {
        AppOptions other;
        EXPECT_FALSE(parse_options(bad, other, error)) << bad[0];
        EXPECT_FALSE(error.empty());
    }
}

TEST(Options, RandomSession) {
    AppOptions o;
    std::string error;
    ASSERT_TRUE(parse_options(
        {"--monkey", "4294967295", "--steps", "12", "--monkey-log", "m.log", "--headless"}, o,
        error))
        << error;
    EXPECT_EQ(o.monkey.seed, 4294967295u);
    EXPECT_EQ(o.monkey.steps, 12u);
    EXPECT_EQ(o.monkey.log, "m.log");
    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{"--monkey", "4294967296", "--steps", "1"},
                                               {"--monkey", "1", "--steps", "1000000001"},
                                               {"--monkey", "1x", "--steps", "1"},
                                               {"--monkey-log", "m.log"}}) {
        AppOptions other;
        EXPECT_FALSE(parse_options(bad, other, error)) << bad[1];
    }
}

}  // namespace
}  // namespace vistrel
