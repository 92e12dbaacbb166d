#include <gtest/gtest.h>

#include "frame/board_output.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

TEST(BoardOutput, AutoFindsTheFrameBufferElseKmsElseSaysWhy) {
    test::TempDir dir;
    const BoardDevices devices{dir.file("fb0"), dir.file("card0")};
    BoardOutput out;
    std::string problem;
    EXPECT_FALSE(find_board_output("auto", {64, 32}, out, problem, devices));
    EXPECT_NE(problem.find(devices.framebuffer), std::string::npos) << problem;
    EXPECT_NE(problem.find(devices.kms), std::string::npos) << problem;

    test::write_file(devices.framebuffer, std::string(64 * 32 * 2, '\0'));
    ASSERT_TRUE(find_board_output("auto", {64, 32}, out, problem, devices)) << problem;
    EXPECT_EQ(out.device, devices.framebuffer);
    EXPECT_EQ(out.size, (Size{64, 32}));
    EXPECT_FALSE(out.kms);
    EXPECT_FALSE(out.real_device);
}

TEST(BoardOutput, MissingShortOrUnusableDevicesSayWhy) {
    test::TempDir dir;
    test::write_file(dir.file("short"), std::string(100, '\0'));
    for (const std::string& device : {dir.file("missing"), dir.file("short"), dir.str()}) {
        BoardOutput out;
        std::string problem;
        EXPECT_FALSE(find_board_output(device, {64, 32}, out, problem)) << device;
        EXPECT_NE(problem.find(device), std::string::npos) << problem;
    }
    // A KMS path that is not there names the device.
    BoardOutput out;
    std::string problem;
    EXPECT_FALSE(find_board_output("/dev/dri/card-none", {64, 32}, out, problem));
    EXPECT_NE(problem.find("KMS"), std::string::npos) << problem;
}

}  // namespace
}  // namespace vistrel
