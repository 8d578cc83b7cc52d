#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "rtc/config_constraint.hpp"
#include "rtc/file_search.hpp"
#include "sim/configuration.hpp"
#include "sim/field_file.hpp"
#include "sim/parameter_constraints.hpp"

namespace vostrel {
namespace {

namespace fs = std::filesystem;

bool satisfies(const char* constraint, const char* value) {
    std::string why;
    return rtc::satisfiesConstraint(constraint, value, why);
}

TEST(Constraint, RangesEnumerationsAndUnreadableForms) {
    struct Case {
        const char* constraint;
        const char* value;
        bool satisfied;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"x>=0", "0", true},
             {"x>=0", "-0.001", false},
             {"x>0", "0", false},
             {"x<100", " 99.5 ", true},
             {"x<100", "100", false},
             {"0<=x<=100", "100", true},
             {"0 <= x <= 100", "100.5", false},
             {"0<x<=1", "0", false},
             {"-1.5<=value", "-1.5", true},
             {"(YES,NO)", "NO", true},
             {"( 0, 1, 2 )", "2", true},
             {"(YES,NO)", "yes", false},
         })
        EXPECT_EQ(satisfies(c.constraint, c.value), c.satisfied) << c.constraint << " " << c.value;
    // A number is required where a range is given.
    std::string why;
    EXPECT_FALSE(rtc::satisfiesConstraint("x>=0", "wide", why));
    EXPECT_EQ(why, "\"wide\" is not a number (x>=0)");
    EXPECT_FALSE(rtc::satisfiesConstraint("0<=x<=100", "101", why));
    EXPECT_EQ(why, "101 is outside 0<=x<=100");
    // What cannot be read constrains nothing.
    EXPECT_TRUE(satisfies("", "anything"));
    EXPECT_TRUE(satisfies("x~3", "anything"));
    EXPECT_TRUE(satisfies("[0,1]", "7"));
}

TEST(Constraint, PublishedTypesTakeWholeNumbersNumbersOrAnyText) {
    std::string why;
    EXPECT_TRUE(rtc::convertsTo("int", " -12 ", why));
    EXPECT_FALSE(rtc::convertsTo("int", "4.5", why));
    EXPECT_EQ(why, "\"4.5\" is not a value of type int");
    EXPECT_FALSE(rtc::convertsTo("long", "99999999999", why));
    EXPECT_FALSE(rtc::convertsTo("unsigned int", "-1", why));
    EXPECT_TRUE(rtc::convertsTo("double", "1e-3", why));
    EXPECT_FALSE(rtc::convertsTo("double", "0.5m", why));
    EXPECT_TRUE(rtc::convertsTo("string", "any text", why));
}

TEST(ParameterConstraints, DefaultsSatisfyTheirPublishedRanges) {
    const Configuration defaults;
    for (const ParameterConstraint& c : parameterConstraints()) {
        const Parameter* p = findParameter(c.key);
        ASSERT_NE(p, nullptr) << c.key;
        std::string why;
        EXPECT_TRUE(rtc::satisfiesConstraint(c.constraint, p->defaultText, why)) << c.key << why;
    }
}

Environment roomOf(double w, double h) {
    Environment e;
    e.walls.add(Segment::fromPoints({0, 0}, {w, 0}));
    e.walls.add(Segment::fromPoints({w, 0}, {w, h}));
    e.walls.add(Segment::fromPoints({w, h}, {0, h}));
    return e;
}

TEST(SettingWarnings, OneLineForEachSettingUsedAsGivenOutsideItsRange) {
    const Environment room = roomOf(10, 8);
    std::ostringstream none;
    warnAboutSettings(Configuration{}, room, none);
    EXPECT_EQ(none.str(), "");

    Configuration c;
    c.range_data_num = 0;
    c.range_max_distance = -2.5;
    c.walkingrate_mean = -1;
    c.simulate_skip = 3;
    c.robot_init_x = 12;
    c.robot_tread = -1;  // replaced by its default elsewhere, with a line of its own
    std::ostringstream err;
    warnAboutSettings(c, room, err);
    EXPECT_EQ(err.str(),
              "Warning: walkingrate_mean -1 is outside x>=0: persons draw their walking speeds "
              "around a negative mean.\n"
              "Warning: range_max_distance -2.5 is outside x>=0: no beam can measure anything.\n"
              "Warning: range_data_num 0 is outside x>=1: every scan is empty.\n"
              "Warning: simulate_skip 3 is outside (0,1,2): the warm-up waits for the first "
              "person, as with 1.\n"
              "Warning: robot_init_x 12, robot_init_y 1: the robot starts outside the "
              "environment (0..10 by 0..8).\n");
}

TEST(SettingWarnings, BoundaryValuesAndAnEmptyEnvironmentStayQuiet) {
    Configuration c;
    c.range_data_num = 1;
    c.range_max_distance = 0;
    c.walkingrate_mean = 0;
    c.simulate_skip = 2;
    c.robot_init_x = 10;
    c.robot_init_y = 0;
    std::ostringstream err;
    warnAboutSettings(c, roomOf(10, 8), err);
    // Without walls (the loader has said why) there is no extent to be outside of.
    c.robot_init_x = -50;
    warnAboutSettings(c, Environment{}, err);
    EXPECT_EQ(err.str(), "");
}

class FileSearch : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::path(::testing::TempDir()) / "vostrel_file_search";
        fs::remove_all(root_);
        fs::create_directories(root_ / "conf");
        std::ofstream(root_ / "conf" / "field.txt") << "Walls 0, 0, 4, 0;\n";
    }
    void TearDown() override { fs::remove_all(root_); }
    fs::path root_;
};

TEST_F(FileSearch, WorkingDirectoryFirstThenTheNamingFilesFolder) {
    std::vector<std::string> tried;
    const std::string folder = (root_ / "conf").string();
    EXPECT_EQ(rtc::findFile("field.txt", {"", folder}, tried),
              (root_ / "conf" / "field.txt").string());
    EXPECT_EQ(tried.size(), 2u);
    EXPECT_EQ(tried[0], (fs::current_path() / "field.txt").string());
    // An absolute name is taken as it is.
    const std::string absolute = (root_ / "nothing.txt").string();
    EXPECT_EQ(rtc::findFile(absolute, {folder}, tried), "");
    EXPECT_EQ(tried, std::vector<std::string>{absolute});
    EXPECT_EQ(rtc::listOfPaths({"a", "b", "c"}), "a, b and c");
}

TEST_F(FileSearch, TheLoaderNamesThePathsTriedWhenTheFileIsNowhere) {
    std::ostringstream err;
    const std::string folder = (root_ / "conf").string();
    std::string path;
    const FieldData found = loadFieldFile("field.txt", {folder}, err, &path);
    EXPECT_TRUE(loadedCleanly(found)) << err.str();
    EXPECT_EQ(path, (root_ / "conf" / "field.txt").string());

    err.str("");
    const FieldData missing = loadFieldFile("gone.txt", {folder}, err);
    EXPECT_FALSE(loadedCleanly(missing));
    EXPECT_NE(err.str().find("Error! File \"gone.txt\" could not open.\n"), std::string::npos);
    EXPECT_NE(err.str().find("The environment file was looked for at " +
                             (fs::current_path() / "gone.txt").string() + " and " +
                             (root_ / "conf" / "gone.txt").string() + ".\n"),
              std::string::npos)
        << err.str();
    EXPECT_EQ(foldersOf("a/one.conf,b/c/two.conf"), (std::vector<std::string>{"b/c", "a"}));
    EXPECT_EQ(foldersOf(""), std::vector<std::string>{});
}

}  // namespace
}  // namespace vostrel
