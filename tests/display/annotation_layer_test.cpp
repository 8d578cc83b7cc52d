#include "display/annotation_layer.hpp"

#include <gtest/gtest.h>

#include "ten_by_five.hpp"

#include <sstream>
#include <vector>

#include "display/display_colours.hpp"

namespace vostrel {
namespace {

const cv::Vec3b kWhite(255, 255, 255);
const cv::Vec3b kBlue(255, 0, 0);
cv::Vec3b pixel(Rgb c) {
    return {c.blue, c.green, c.red};
}

using testing::tenByFive;

class AnnotationLayerTest : public ::testing::Test {
  protected:
    cv::Vec3b at(Vec2 world) const {
        const cv::Point p = window->lineEnd(world);
        return window->image().at<cv::Vec3b>(p.y, p.x);
    }
    // Pixels of the given colour in columns [x0, x1) and rows [y0, y1).
    int count(cv::Vec3b colour, int x0, int x1, int y0, int y1) const {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += window->image().at<cv::Vec3b>(y, x) == colour;
        return n;
    }
    void step(const std::vector<Pose2D>& robots, const std::vector<PersonDrawData>& persons,
              double t, const std::vector<Segment>& rays = {}) {
        DisplayScene scene{rays, !rays.empty(), {}, robots, persons, 2};
        layer.displayStep(*window, scene, {t, static_cast<std::int32_t>(t * 10), 42});
    }

    std::ostringstream console;
    std::unique_ptr<SimulationWindow> window =
        openSimulationWindow(tenByFive(), DisplaySettings{0.05}, WindowOptions{false, ""}, console,
                             &AnnotationLayer::bandHeight);
    AnnotationLayer layer{10.0};
};

TEST_F(AnnotationLayerTest, TheBandSitsAboveAnUnchangedWorld) {
    const int band = window->band();
    EXPECT_EQ(band, AnnotationLayer::bandHeight(202));
    EXPECT_GE(band, 2 * 18);  // 202 pixels hold no more than a few items per line
    EXPECT_LE(band, AnnotationLayer::bandHeight(1));
    EXPECT_EQ(window->width(), 202);
    EXPECT_EQ(window->height(), 102 + band);
    EXPECT_EQ(window->discCentre({0.0, 0.0}), cv::Point(0, 102 + band));
    EXPECT_TRUE(console.str().empty());
    EXPECT_LT(AnnotationLayer::bandHeight(800), band);

    step({{2.0, 1.0, 0.0}}, {{{5.0, 2.5}, {1.0, 0.0}, 2}, {{8.0, 1.0}, {}, 3}}, 0.1);
    EXPECT_EQ(at({2.0, 1.0 - 0.05}), pixel(colours::kRobot));
    EXPECT_EQ(at({5.0, 2.5 - 0.05}), pixel(colours::kFollowed));
    EXPECT_EQ(at({8.0, 1.0 - 0.05}), pixel(colours::kPerson));
    EXPECT_EQ(window->image().at<cv::Vec3b>(1, 1), pixel(colours::kBand));
    EXPECT_EQ(window->image().at<cv::Vec3b>(band - 1, 100), cv::Vec3b(0, 0, 0));
    // Legend swatches and text.
    EXPECT_GT(count(pixel(colours::kRobot), 0, 202, 0, band), 20);
    EXPECT_GT(count(pixel(colours::kFollowed), 0, 202, 0, band), 20);
    EXPECT_GT(count(cv::Vec3b(0, 0, 0), 0, 202, 0, band - 1), 50);

    // The caption follows the cycle; the same cycle draws the same band.
    const cv::Mat first = window->image()(cv::Rect(0, 0, 202, band)).clone();
    step({{2.0, 1.0, 0.0}}, {{{5.0, 2.5}, {1.0, 0.0}, 2}, {{8.0, 1.0}, {}, 3}}, 0.1);
    EXPECT_EQ(cv::norm(first, window->image()(cv::Rect(0, 0, 202, band)), cv::NORM_INF), 0.0);
    step({{2.0, 1.0, 0.0}}, {{{5.0, 2.5}, {1.0, 0.0}, 2}}, 0.2);
    EXPECT_GT(cv::norm(first, window->image()(cv::Rect(0, 0, 202, band)), cv::NORM_INF), 0.0);
}

TEST_F(AnnotationLayerTest, EveryKthRayInALightColour) {
    std::vector<Segment> rays;
    for (int i = 0; i < 120; ++i)
        rays.push_back(Segment::fromPoints({0.5 + 0.075 * i, 3.5}, {0.5 + 0.075 * i, 4.5}));
    ASSERT_EQ(AnnotationLayer::rayStride(120), 2u);
    EXPECT_EQ(AnnotationLayer::rayStride(480), 8u);
    EXPECT_EQ(AnnotationLayer::rayStride(60), 1u);
    EXPECT_EQ(AnnotationLayer::rayStride(0), 1u);
    step({}, {}, 0.1, rays);
    for (int i = 0; i < 120; ++i)
        EXPECT_EQ(at({0.5 + 0.075 * i, 4.0}), i % 2 == 0 ? pixel(colours::kThinRay) : kWhite) << i;
    EXPECT_EQ(count(kBlue, 0, 202, 0, window->height()), 0);
}

TEST_F(AnnotationLayerTest, TracksFollowTheirPersons) {
    for (int i = 0; i <= 30; ++i) {
        const double x = 1.0 + 0.1 * i;
        step({{x, 1.0, 0.0}}, {{{x, 4.0}, {1.0, 0.0}, 3}, {{x, 2.5}, {1.0, 0.0}, 2}}, 0.1 * i);
    }
    EXPECT_EQ(at({2.0, 4.0}), pixel(colours::kPersonTrail));
    EXPECT_EQ(at({2.0, 2.5}), pixel(colours::kFollowedTrail));
    EXPECT_EQ(at({2.0, 1.0}), pixel(colours::kRobotTrail));
    EXPECT_EQ(at({0.5, 4.0}), kWhite);  // before the first position

    AnnotationLayer none(0.0);
    DisplayScene scene{{}, false, {}, {}, {}, 2};
    const std::vector<PersonDrawData> at4{{{4.0, 4.0}, {}, 3}};
    scene.persons = at4;
    none.displayStep(*window, scene, {0.0, 0, 1});
    const std::vector<PersonDrawData> at1{{{1.0, 4.0}, {}, 3}};
    scene.persons = at1;
    none.displayStep(*window, scene, {0.1, 1, 1});
    EXPECT_EQ(at({2.0, 4.0}), kWhite);
}

TEST_F(AnnotationLayerTest, AnArrowPointsAtARobotOutsideThePicture) {
    const int band = window->band();
    const cv::Vec3b orange = pixel(colours::kRobot);
    step({{5.0, 2.5, 0.0}}, {}, 0.1);
    EXPECT_EQ(count(orange, 150, 202, band, window->height()), 0);

    step({{30.0, 2.5, 0.0}}, {}, 0.2);  // to the right
    EXPECT_GT(count(orange, 160, 202, band + 40, band + 62), 10);
    EXPECT_EQ(count(orange, 0, 150, band, window->height()), 0);

    step({{5.0, -1e12, 0.0}}, {}, 0.3);  // far below: the arrow at the bottom edge
    EXPECT_GT(count(orange, 90, 112, window->height() - 40, window->height()), 10);
    EXPECT_EQ(count(orange, 0, 202, band, window->height() - 40), 0);

    step({{std::nan(""), 1.0, 0.0}}, {}, 0.4);  // nothing to point at
    EXPECT_EQ(count(orange, 0, 202, band, window->height()), 0);
}

TEST(AnnotationOptions, SettingsAreCheckedAndNamed) {
    std::ostringstream console;
    AnnotationOptions o = annotationOptions("YES", "2.5", console);
    EXPECT_TRUE(o.enabled);
    EXPECT_EQ(o.trailSeconds, 2.5);
    o = annotationOptions("NO", "0", console);
    EXPECT_FALSE(o.enabled);
    EXPECT_EQ(console.str(), "");

    o = annotationOptions("maybe", "abc", console);
    EXPECT_FALSE(o.enabled);
    EXPECT_EQ(o.trailSeconds, 0.0);
    EXPECT_EQ(console.str(),
              "Invalid vostrel.display.annotate maybe (YES or NO): the picture is not annotated\n"
              "Invalid vostrel.display.trails abc (seconds, 0 or more): no trails are drawn\n");
    console.str("");
    for (const char* bad : {"-1", "nan", "5s", "inf"}) {
        EXPECT_EQ(annotationOptions("YES", bad, console).trailSeconds, 0.0) << bad;
    }
    EXPECT_NE(console.str().find("vostrel.display.trails 5s"), std::string::npos);
    console.str("");
    annotationOptions("NO", "5", console);
    EXPECT_EQ(console.str(),
              "vostrel.display.trails 5 has no effect without vostrel.display.annotate: YES\n");
}

}  // namespace
}  // namespace vostrel
