#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "sim/config_file.hpp"

namespace vostrel {
namespace {

std::string writeTemp(const std::string& text) {
    const std::string path = ::testing::TempDir() + "vostrel_conf_" +
                             std::to_string(std::hash<std::string>{}(text)) + ".conf";
    std::ofstream(path) << text;
    return path;
}

TEST(ConfigFile, ReadsDefaultSetAndSkipsOthers) {
    const std::string path = writeTemp(
        "# comment\n\nconf.default.robot_init_x: 7.25\nconf.default.FieldDataFile = station.txt\n"
        "conf.fast.robot_init_x: 99\nexec_cxt.periodic.rate: 10\n");
    Configuration c;
    std::ostringstream err;
    ASSERT_TRUE(readConfigFile(path, c, err)) << err.str();
    EXPECT_EQ(c.robot_init_x, 7.25);
    EXPECT_EQ(c.FieldDataFile, "station.txt");
    std::remove(path.c_str());
}

TEST(ConfigFile, BadValueNamesFileLineAndKeyAndChangesNothing) {
    const std::string path =
        writeTemp("conf.default.robot_init_y: 2.0\nconf.default.range_data_num: many\n");
    Configuration c;
    std::ostringstream err;
    EXPECT_FALSE(readConfigFile(path, c, err));
    EXPECT_NE(err.str().find(path + ":2:"), std::string::npos);
    EXPECT_NE(err.str().find("range_data_num"), std::string::npos);
    EXPECT_EQ(c.robot_init_y, 1.0);
    std::remove(path.c_str());
}

TEST(ConfigFile, MissingFileAndUnknownKey) {
    Configuration c;
    std::ostringstream err;
    EXPECT_FALSE(readConfigFile("/no/such/file.conf", c, err));
    const std::string path = writeTemp("conf.default.robot_speed: 1\n");
    EXPECT_FALSE(readConfigFile(path, c, err));
    EXPECT_NE(err.str().find("robot_speed"), std::string::npos);
    std::remove(path.c_str());
}

}  // namespace
}  // namespace vostrel

namespace vostrel {
namespace {

TEST(ConfigFile, TrailingCommentsAreDroppedButAHashInsideAValueStays) {
    const std::string path = writeTemp(
        "conf.default.robot_init_x: 7.25   # where the corridor starts\n"
        "conf.default.FieldDataFile: room#2.txt\t# the second room\n");
    Configuration c;
    std::ostringstream err;
    ASSERT_TRUE(readConfigFile(path, c, err)) << err.str();
    EXPECT_EQ(c.robot_init_x, 7.25);
    EXPECT_EQ(c.FieldDataFile, "room#2.txt");
    std::remove(path.c_str());
}

TEST(ConfigFile, EveryUnknownKeyIsNamedWithItsLineAndNothingIsApplied) {
    const std::string path = writeTemp(
        "conf.default.robot_init_x: 7.25\n"
        "robot_init_y: 2\n"                        // the prefix forgotten
        "conf.default.robot_sped: 1\n"             // a typo
        "conf.fast.range_data_num: 3\n"            // another set: fine
        "conf.__constraints__.robot_tread: x>0\n"  // for tools: fine
        "exec_cxt.periodic.rate: 10\n"             // the runtime's: fine
        "port.inport.robotControlInfo.buffer.length: 4\n"
        "vostrel.display.window: NO\n");  // belongs in rtc.conf
    Configuration c;
    std::ostringstream err;
    EXPECT_FALSE(readConfigFile(path, c, err));
    EXPECT_EQ(err.str(),
              path + ":2: unknown key \"robot_init_y\" (write conf.default.robot_init_y)\n" + path +
                  ":3: unknown parameter \"robot_sped\"\n" + path +
                  ":8: unknown key \"vostrel.display.window\"\n");
    EXPECT_EQ(c.robot_init_x, 3.5);
    std::remove(path.c_str());
}

}  // namespace
}  // namespace vostrel
