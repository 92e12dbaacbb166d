#include <gtest/gtest.h>

#include "shell/script.h"

namespace vistrel {
namespace {

TEST(Script, ParsesEveryStep) {
    Script script;
    std::string error;
    ASSERT_TRUE(
        parse_script("# a comment\n\nkey Left\nkey SOFT_LEFT down\nkey Enter up\n"
                     "text hello wörld\ntap 1 2\ndrag 1 2 30 40 250\nwait 100\n"
                     "frames 3\nshot out.png\nrotate 3\nsleep 250\nquit\r\n",
                     script, error))
        << error;
    ASSERT_EQ(script.steps.size(), 12u);
    EXPECT_EQ(script.steps[0].virtual_key, 37u);
    EXPECT_TRUE(script.steps[0].press && script.steps[0].release);
    EXPECT_EQ(script.steps[1].virtual_key, 112u);
    EXPECT_FALSE(script.steps[1].release);
    EXPECT_FALSE(script.steps[2].press);
    EXPECT_EQ(script.steps[3].text, u"hello w\u00f6rld");
    EXPECT_EQ(script.steps[5].to, (Point{30, 40}));
    EXPECT_EQ(script.steps[5].amount, 250u);
    EXPECT_EQ(script.steps[8].file, "out.png");
    EXPECT_EQ(script.steps[9].amount, 3u);
    EXPECT_EQ(script.steps[10].kind, ScriptStep::Kind::Sleep);
    EXPECT_EQ(script.steps[10].amount, 250u);
    EXPECT_EQ(script.steps[11].kind, ScriptStep::Kind::Quit);
}

TEST(Script, ParsesTheBuildAndStatsSteps) {
    Script script;
    std::string error;
    ASSERT_TRUE(parse_script("builds hold\nbuilds go\nstats a.txt\nstats b.txt reset\n", script,
                             error))
        << error;
    ASSERT_EQ(script.steps.size(), 4u);
    EXPECT_EQ(script.steps[0].kind, ScriptStep::Kind::Builds);
    EXPECT_TRUE(script.steps[0].press);
    EXPECT_FALSE(script.steps[1].press);
    EXPECT_EQ(script.steps[2].kind, ScriptStep::Kind::Stats);
    EXPECT_FALSE(script.steps[2].press);
    EXPECT_EQ(script.steps[3].file, "b.txt");
    EXPECT_TRUE(script.steps[3].press);
}

TEST(Script, BadLinesAreNamed) {
    const char* bad[] = {"key Nokey",
                         "key Left sideways",
                         "tap 1",
                         "tap 1 2 3",
                         "tap x 2",
                         "wait -5",
                         "wait 99999999999999",
                         "frames",
                         "sleep",
                         "sleep -1",
                         "rotate 4",
                         "shot",
                         "jump 3",
                         "text",
                         "quit now",
                         "drag 1 2 3 4 -1",
                         "builds",
                         "builds stop",
                         "stats a.txt again",
                         "dump a.txt reset"};
    for (const char* line : bad) {
        Script script;
        std::string error;
        EXPECT_FALSE(parse_script(std::string("wait 1\n") + line + "\n", script, error)) << line;
        EXPECT_EQ(error.rfind("line 2:", 0), 0u) << error;
    }
    Script script;
    std::string error;
    EXPECT_FALSE(load_script("/nonexistent/script", script, error));
}

}  // namespace
}  // namespace vistrel
