#include "display/debug_image_writer.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

namespace vostrel {
namespace {

namespace fs = std::filesystem;

class DebugImageWriterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("vostrel-images-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    void TearDown() override { fs::remove_all(root_); }
    fs::path root_;
};

TEST_F(DebugImageWriterTest, DrawsOnWhiteAndCreatesTheDirectory) {
    DebugImage image{50, 40, {}};
    image.shapes.push_back(DebugImage::Line{{5, 20}, {45, 20}, DebugImage::kBlack, 3});
    image.shapes.push_back(DebugImage::Circle{{25, 10}, 6, DebugImage::kRed, 2});
    DebugImageWriter(root_).write("Images/0000.png", image);

    const cv::Mat m = cv::imread((root_ / "Images" / "0000.png").string(), cv::IMREAD_COLOR);
    ASSERT_FALSE(m.empty());
    EXPECT_EQ(m.cols, 50);
    EXPECT_EQ(m.rows, 40);
    EXPECT_EQ(m.at<cv::Vec3b>(0, 0), cv::Vec3b(255, 255, 255));
    EXPECT_EQ(m.at<cv::Vec3b>(21, 25), cv::Vec3b(0, 0, 0));        // within the 3-pixel line
    EXPECT_EQ(m.at<cv::Vec3b>(10, 31), cv::Vec3b(0, 0, 255));      // on the ring, stored BGR
    EXPECT_EQ(m.at<cv::Vec3b>(10, 25), cv::Vec3b(255, 255, 255));  // a ring, not a disc
}

TEST_F(DebugImageWriterTest, FailuresAreSilent) {
    const fs::path file = root_ / "not-a-directory";
    std::ofstream(file) << "x";
    const DebugImage image{10, 10, {}};
    ::testing::internal::CaptureStderr();
    EXPECT_NO_THROW(DebugImageWriter(file).write("Images/0000.png", image));
    // Too large to be worth making: refused, not allocated.
    EXPECT_NO_THROW(
        DebugImageWriter(root_).write("Images/huge.png", DebugImage{1 << 20, 1 << 20, {}}));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_FALSE(fs::exists(root_ / "Images" / "huge.png"));
}

}  // namespace
}  // namespace vostrel
