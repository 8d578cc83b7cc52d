// The configuration checked into each layer's settings: the console lines for rejected values,
// exactly as the run prints them at activation.
#include "sim/layer_settings.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

#include "display/annotation_layer.hpp"
#include "display/display_settings_check.hpp"
#include "display/simulation_window.hpp"
#include "maps/absolute_map.hpp"
#include "robot/robot_motion.hpp"
#include "tests/display/ten_by_five.hpp"

namespace vostrel {
namespace {

using testing::tenByFive;

TEST(LayerSettings, TheDefaultsPassSilentlyAndMatchEachLayersOwn) {
    const Configuration c;
    std::ostringstream console;
    const DriveSettings drive = driveSettings(c, console);
    const LocalMapSettings local = localMapSettings(c, console);
    const AbsoluteMapSettings global = absoluteMapSettings(c, tenByFive(), console);
    const DisplaySettings display =
        displaySettings(c, tenByFive(), &AnnotationLayer::bandHeight, console);
    EXPECT_EQ(console.str(), "");

    EXPECT_EQ(drive.tread, DriveSettings{}.tread);
    EXPECT_EQ(drive.acceleration, DriveSettings{}.acceleration);
    EXPECT_EQ(drive.deceleration, DriveSettings{}.deceleration);
    EXPECT_EQ(local.width, LocalMapSettings{}.width);
    EXPECT_EQ(local.height, LocalMapSettings{}.height);
    EXPECT_EQ(local.scale, LocalMapSettings{}.scale);
    EXPECT_EQ(global.scale, AbsoluteMapSettings{}.scale);
    EXPECT_EQ(display.showMapScale, DisplaySettings{}.showMapScale);

    const RangeSensorSettings sensor = rangeSensorSettings(c);
    const RangeSensorSettings own;
    EXPECT_EQ(sensor.startAngle, own.startAngle);
    EXPECT_EQ(sensor.endAngle, own.endAngle);
    EXPECT_EQ(sensor.maxDistance, own.maxDistance);
    EXPECT_EQ(sensor.farCode, own.farCode);
    EXPECT_EQ(sensor.rayCount, own.rayCount);
    const RobotPlacement placement = robotPlacement(c);
    EXPECT_EQ(placement.initX, RobotPlacement{}.initX);
    EXPECT_EQ(placement.initHeading, RobotPlacement{}.initHeading);
}

TEST(LayerSettings, EveryKeyReachesItsOwnField) {
    Configuration c;
    c.range_start_position = 1;
    c.range_end_position = 2;
    c.range_max_distance = 3;
    c.range_far_code = 4;
    c.range_data_num = 5;
    c.range_sensor_x = 6;
    c.range_sensor_y = 7;
    c.range_sensor_heading = 180;
    c.range_std_deviation = 9;
    const RangeSensorSettings s = rangeSensorSettings(c);
    EXPECT_EQ(std::vector<double>({s.startAngle, s.endAngle, s.maxDistance,
                                   static_cast<double>(s.farCode), static_cast<double>(s.rayCount),
                                   s.x, s.y, s.noiseSigma}),
              std::vector<double>({1, 2, 3, 4, 5, 6, 7, 9}));
    EXPECT_EQ(s.heading, 180 * kRadiansPerDegree);
    // Odd values pass as given: activation warns about them instead.
    c.range_data_num = -5;
    c.range_max_distance = -1;
    EXPECT_EQ(rangeSensorSettings(c).rayCount, -5);
    EXPECT_EQ(rangeSensorSettings(c).maxDistance, -1);

    c.robot_init_x = 1;
    c.robot_init_y = 2;
    c.robot_init_heading = 3;
    c.robot_move_error_x = 4;
    c.robot_move_error_y = 5;
    c.robot_move_error_heading = 6;
    const RobotPlacement p = robotPlacement(c);
    EXPECT_EQ(std::vector<double>({p.initX, p.initY, p.initHeading, p.moveErrorX, p.moveErrorY,
                                   p.moveErrorHeading}),
              std::vector<double>({1, 2, 3, 4, 5, 6}));

    c.robot_tread = 0.5;
    c.robot_acceleration = 0.6;
    c.robot_deceleration = 0.7;
    std::ostringstream console;
    const DriveSettings d = driveSettings(c, console);
    EXPECT_EQ(std::vector<double>({d.tread, d.acceleration, d.deceleration}),
              std::vector<double>({0.5, 0.6, 0.7}));
    EXPECT_EQ(console.str(), "");
}

TEST(LayerSettings, NonsenseDriveSettingsFallBackToTheDefaults) {
    Configuration c;
    c.robot_tread = 0.0;
    c.robot_acceleration = -1.0;
    RobotMotion robot;
    std::ostringstream console;
    robot.startDrive(driveSettings(c, console), 5);
    EXPECT_DOUBLE_EQ(robot.drive().tread(), 332.5);
    EXPECT_EQ(console.str(),
              "Invalid robot_tread 0: using the default 0.3325\n"
              "Invalid robot_acceleration -1: using the default 0.4\n");
    EXPECT_EQ(robot.drive().lastUpdate(), 5u);
}

LocalMapSettings localMap(int width, int height, double scale, std::ostream& console) {
    Configuration c;
    c.localmap_width = width;
    c.localmap_height = height;
    c.localmap_scale = scale;
    return localMapSettings(c, console);
}

TEST(LayerSettings, NonsenseLocalMapSettingsAreReportedAndReplaced) {
    std::ostringstream console;
    LocalMapSettings s = localMap(0, -3, 0.0, console);
    EXPECT_EQ(s.width, 200);
    EXPECT_EQ(s.height, 200);
    EXPECT_EQ(s.scale, 0.05);
    EXPECT_EQ(console.str(),
              "Invalid localmap_width 0: using the default 200\n"
              "Invalid localmap_height -3: using the default 200\n"
              "Invalid localmap_scale 0: using the default 0.05\n");

    console.str("");
    s = localMap(100000, 100000, 0.05, console);  // 10^10 cells
    EXPECT_EQ(s.width, 200);
    EXPECT_EQ(s.height, 200);
    EXPECT_EQ(console.str(),
              "Invalid localmap_width 100000: using the default 200\n"
              "Invalid localmap_height 100000: using the default 200\n");

    console.str("");
    s = localMap(301, 99, 0.025, console);
    EXPECT_EQ(s.width, 301);
    EXPECT_EQ(s.height, 99);
    EXPECT_EQ(s.scale, 0.025);
    EXPECT_TRUE(console.str().empty());

    // One side alone beyond the grid limit; a scale that is no number.
    console.str("");
    s = localMap(static_cast<int>(kMaxGridCells) + 1, 1, std::nan(""), console);
    EXPECT_EQ(s.width, 200);
    EXPECT_EQ(s.height, 1);
    EXPECT_EQ(s.scale, 0.05);
    EXPECT_EQ(console.str(),
              "Invalid localmap_width 67108865: using the default 200\n"
              "Invalid localmap_scale nan: using the default 0.05\n");
}

TEST(LayerSettings, NonsenseGlobalMapScalesFallBackAndOversizedEnvironmentsStayEmpty) {
    Configuration c;
    std::ostringstream console;
    AbsoluteMapData map;
    c.globalmap_scale = -0.5;
    buildAbsoluteMap(map, tenByFive(), absoluteMapSettings(c, tenByFive(), console), {});
    EXPECT_EQ(console.str(), "Invalid globalmap_scale -0.5: using the default 0.1\n");
    EXPECT_EQ(map.mapconfig.width, 101u);

    console.str("");
    c.globalmap_scale = 1e-9;  // 10^20 cells
    buildAbsoluteMap(map, tenByFive(), absoluteMapSettings(c, tenByFive(), console), {});
    EXPECT_EQ(console.str(), "Invalid globalmap_scale 1e-09: using the default 0.1\n");
    EXPECT_EQ(map.mapconfig.width, 101u);

    Walls huge;
    huge.add(Segment::fromPoints({0.0, 0.0}, {1e300, 1e300}));
    console.str("");
    c.globalmap_scale = 0.1;
    buildAbsoluteMap(map, huge, absoluteMapSettings(c, huge, console), {7, 0});
    EXPECT_EQ(console.str(),
              "The environment is too large for an absolute map at the default globalmap_scale: "
              "the absolute map stays empty\n");
    EXPECT_EQ(map.mapconfig.width, 0u);
    EXPECT_TRUE(map.cells.empty());
    EXPECT_EQ(subMap(map, 0.0, 0.0, 2, 1).cells, (std::vector<std::uint8_t>{255, 255}));

    // A too fine scale there: first the scale is named, then the empty map.
    console.str("");
    c.globalmap_scale = 0.05;
    absoluteMapSettings(c, huge, console);
    EXPECT_EQ(console.str(),
              "Invalid globalmap_scale 0.05: using the default 0.1\n"
              "The environment is too large for an absolute map at the default globalmap_scale: "
              "the absolute map stays empty\n");
}

std::unique_ptr<SimulationWindow> windowAt(const Walls& walls, double scale,
                                           std::ostream& console) {
    Configuration c;
    c.show_map_scale = scale;
    return openSimulationWindow(walls, displaySettings(c, walls, nullptr, console),
                                WindowOptions{false, ""}, console);
}

TEST(LayerSettings, NonsenseShowMapScalesAndHugeEnvironments) {
    std::ostringstream console;
    auto w = windowAt(tenByFive(), 0.0, console);
    EXPECT_EQ(console.str(), "Invalid show_map_scale 0: using the default 0.05\n");
    EXPECT_EQ(w->width(), 202);

    console.str("");
    w = windowAt(tenByFive(), 1e-6, console);
    EXPECT_EQ(console.str(), "Invalid show_map_scale 1e-06: using the default 0.05\n");
    EXPECT_EQ(w->height(), 102);

    Walls huge;
    huge.add(Segment::fromPoints({0.0, 0.0}, {1e9, 3.0}));
    console.str("");
    w = windowAt(huge, 0.05, console);
    EXPECT_EQ(console.str(),
              "The environment is too large to show whole at show_map_scale 0.05: the window "
              "shows its lower-left part\n");
    EXPECT_EQ(w->width(), 32767);
    EXPECT_EQ(w->height(), 62);
    EXPECT_EQ(w->scale(), 20.0);

    // The annotation's band counts: the scale that fits the world alone is too fine with it.
    Configuration c;
    c.show_map_scale = 1.0 / 1158;  // 11581 x 5791 pixels: just under 64 Mi pixels
    console.str("");
    EXPECT_EQ(displaySettings(c, tenByFive(), nullptr, console).showMapScale, c.show_map_scale);
    EXPECT_EQ(console.str(), "");
    EXPECT_EQ(displaySettings(c, tenByFive(), &AnnotationLayer::bandHeight, console).showMapScale,
              0.05);
    EXPECT_EQ(console.str(), "Invalid show_map_scale 0.000863558: using the default 0.05\n");
}

}  // namespace
}  // namespace vostrel
