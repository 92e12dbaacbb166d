#include <gtest/gtest.h>

#include "platform/process.h"

namespace vistrel {
namespace {

TEST(Process, RunsProgramsWithAnArgumentVector) {
    EXPECT_EQ(run_process({"sh", "-c", "exit 3"}), 3);
    // Arguments reach the program as they are, never through a shell.
    EXPECT_EQ(run_process({"test", "a b;c", "=", "a b;c"}), 0);
    EXPECT_TRUE(spawn_process({"true"}));
}

TEST(Process, MissingProgramsDoNotStart) {
    EXPECT_EQ(run_process({"/nonexistent/program"}), -1);
    EXPECT_FALSE(spawn_process({"/nonexistent/program"}));
    EXPECT_FALSE(spawn_process({}));
    EXPECT_FALSE(spawn_process({""}));
}

}  // namespace
}  // namespace vistrel
