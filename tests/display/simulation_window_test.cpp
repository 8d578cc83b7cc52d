#include "display/simulation_window.hpp"

#include <gtest/gtest.h>

#include "ten_by_five.hpp"

#include <sstream>
#include <vector>

namespace vostrel {
namespace {

// Pixel colours as stored: blue, green, red.
const cv::Vec3b kWhite(255, 255, 255);
const cv::Vec3b kBlack(0, 0, 0);
const cv::Vec3b kRed(0, 0, 255);
const cv::Vec3b kGreen(0, 255, 0);
const cv::Vec3b kBlue(255, 0, 0);
const cv::Vec3b kOrange(0, 127, 255);

using testing::tenByFive;

class SimulationWindowTest : public ::testing::Test {
  protected:
    cv::Vec3b at(int column, int row) const { return window->image().at<cv::Vec3b>(row, column); }

    std::ostringstream console;
    std::unique_ptr<SimulationWindow> window =
        openSimulationWindow(tenByFive(), DisplaySettings{0.05}, WindowOptions{false, ""}, console);
};

TEST_F(SimulationWindowTest, SizeTitleAndPixelMapping) {
    EXPECT_EQ(window->title(), "Vostrel");
    EXPECT_EQ(window->scale(), 20.0);
    EXPECT_EQ(window->width(), 202);
    EXPECT_EQ(window->height(), 102);
    EXPECT_EQ(window->image().cols, 202);
    EXPECT_EQ(window->image().rows, 102);
    EXPECT_EQ(window->image().type(), CV_8UC3);
    EXPECT_FALSE(window->onScreen());
    EXPECT_TRUE(console.str().empty());
    EXPECT_EQ(window->discCentre({0.0, 0.0}), cv::Point(0, 102));
    EXPECT_EQ(window->lineEnd({0.0, 0.0}), cv::Point(0, 101));
    EXPECT_EQ(window->lineEnd({0.449, 0.051}), cv::Point(8, 100));
    EXPECT_EQ(window->lineEnd({-0.06, 0.0}), cv::Point(-1, 101));
    EXPECT_EQ(at(100, 50), kWhite);
}

TEST_F(SimulationWindowTest, DiscAtTheOriginAndAWall) {
    window->drawDisc(0.0, 0.0, 255, 0, 0, 0.225);  // centre one row below the image
    EXPECT_EQ(at(0, 101), kRed);
    EXPECT_EQ(at(3, 100), kRed);
    EXPECT_EQ(at(0, 98), kRed);
    EXPECT_EQ(at(0, 97), kWhite);
    EXPECT_EQ(at(5, 101), kWhite);

    window->drawWall(Segment::fromPoints({1.0, 1.0}, {4.0, 1.0}));
    for (int x = 20; x <= 80; ++x) ASSERT_EQ(at(x, 81), kBlack) << x;
    EXPECT_EQ(at(19, 81), kWhite);
    EXPECT_EQ(at(50, 80), kWhite);
    EXPECT_EQ(at(50, 82), kWhite);
    window->clear();
    EXPECT_EQ(at(50, 81), kWhite);
}

TEST_F(SimulationWindowTest, DisplayStepDrawsInLayersWithTheFollowedPersonRed) {
    const std::vector<Segment> walls{Segment::fromPoints({0.5, 2.5}, {9.5, 2.5})};
    const std::vector<Segment> rays{Segment::fromPoints({2.0, 0.5}, {2.0, 4.5})};
    const std::vector<Pose2D> robots{{2.0, 1.0, 0.0}};
    const std::vector<PersonDrawData> persons{
        {{5.0, 2.5}, {1.0, 0.0}, 2},  // followed, walking right, standing on the wall
        {{8.0, 1.0}, {0.0, 0.0}, 3},  // standing still
    };
    DisplayScene scene{rays, false, walls, robots, persons, 2};
    window->displayStep(scene);

    EXPECT_EQ(at(100, 52), kRed);  // disc centre, over the wall
    EXPECT_EQ(at(108, 51), kRed);  // heading line beyond the disc, one row up
    EXPECT_EQ(at(109, 51), kRed);
    EXPECT_EQ(at(111, 51), kBlack);  // the wall again after the line ends
    EXPECT_EQ(at(91, 51), kBlack);   // nothing drawn backwards
    EXPECT_EQ(at(160, 82), kGreen);
    for (int x = 165; x <= 170; ++x) EXPECT_EQ(at(x, 81), kWhite) << x;  // no heading line
    EXPECT_EQ(at(40, 82), kOrange);
    EXPECT_EQ(at(49, 81), kOrange);
    EXPECT_EQ(at(40, 40), kWhite);  // rays are off

    scene.drawRays = true;
    scene.followingTargetId = 99;
    window->displayStep(scene);
    EXPECT_EQ(at(40, 40), kBlue);
    EXPECT_EQ(at(40, 82), kOrange);  // the robot covers the ray
    EXPECT_EQ(at(40, 51), kBlack);   // the wall covers the ray
    EXPECT_EQ(at(100, 52), kGreen);  // nobody has id 99
}

TEST_F(SimulationWindowTest, FarAwayAndBrokenGeometryIsClippedNotConverted) {
    window->drawSegment(Segment::fromPoints({-1e12, 2.0}, {1e12, 2.0}), 0, 0, 0, 1);
    for (int x = 0; x < 202; ++x) ASSERT_EQ(at(x, 61), kBlack) << x;
    window->drawSegment(Segment::fromPoints({std::nan(""), 1.0}, {2.0, 1.0}), 0, 0, 0, 1);
    window->drawDisc(1e300, 0.0, 0, 0, 0, 0.225);
    window->drawDisc(1.0, 1.0, 0, 0, 0, -1.0);
    EXPECT_EQ(at(20, 82), kWhite);
    window->drawAgent(Segment{{1e-300, 0.0}, {3.0, 3.0}}, 0, 0, 0, 0.225);
    EXPECT_EQ(at(60, 42), kBlack);
}

TEST(SimulationWindowSize, HugeEnvironmentsAreCutToTheLargestImage) {
    Walls huge;
    huge.add(Segment::fromPoints({0.0, 0.0}, {1e9, 3.0}));
    EXPECT_TRUE(showsWhole(tenByFive(), 0.05));
    EXPECT_FALSE(showsWhole(tenByFive(), 1e-6));
    EXPECT_FALSE(showsWhole(huge, 0.05));
    // 32767 rows at most, the band's included.
    EXPECT_TRUE(showsWhole(tenByFive(), 0.05, [](int) { return 32767 - 102; }));
    EXPECT_FALSE(showsWhole(tenByFive(), 0.05, [](int) { return 32767 - 101; }));

    std::ostringstream console;
    auto w = openSimulationWindow(huge, DisplaySettings{0.05}, WindowOptions{false, ""}, console);
    EXPECT_TRUE(console.str().empty());  // the caller says so, naming its setting
    EXPECT_EQ(w->width(), 32767);
    EXPECT_EQ(w->height(), 62);
    EXPECT_EQ(w->scale(), 20.0);
}

static_assert(!std::is_copy_constructible_v<SimulationWindow>);
static_assert(!std::is_copy_assignable_v<Window>);

}  // namespace
}  // namespace vostrel
