#include <gtest/gtest.h>

#include <set>

#include "sim/configuration.hpp"
#include "sim/parameter_constraints.hpp"

namespace vostrel {
namespace {

TEST(Configuration, TableDefaultsMatchTheStructDefaults) {
    const Configuration defaults;
    std::set<std::string> keys;
    for (const Parameter& p : parameters()) {
        keys.insert(p.key);
        Configuration c;
        std::string error;
        ASSERT_TRUE(setParameter(c, p.key, p.defaultText, error)) << error;
        EXPECT_EQ(parameterText(c, p), parameterText(defaults, p)) << p.key;
    }
    EXPECT_EQ(keys.size(), kParameterCount);
    EXPECT_STREQ(parameters().front().key, "FieldDataFile");
    EXPECT_STREQ(parameters().back().key, "simulate_skip");
}

TEST(Configuration, TypeCheckedConversionNamesTheKey) {
    Configuration c;
    std::string error;
    EXPECT_TRUE(setParameter(c, "robot_tread", " 0.5 ", error));
    EXPECT_EQ(c.robot_tread, 0.5);
    EXPECT_FALSE(setParameter(c, "robot_tread", "half", error));
    EXPECT_NE(error.find("robot_tread"), std::string::npos);
    EXPECT_EQ(c.robot_tread, 0.5);
    EXPECT_FALSE(setParameter(c, "range_data_num", "4.5", error));
    EXPECT_FALSE(setParameter(c, "range_far_code", "99999999999", error));
    EXPECT_TRUE(setParameter(c, "range_far_code", "-7", error));
    EXPECT_EQ(c.range_far_code, -7);
    EXPECT_FALSE(setParameter(c, "no_such_key", "1", error));
    EXPECT_NE(error.find("no_such_key"), std::string::npos);
    EXPECT_TRUE(setParameter(c, "FieldDataFile", "my field.txt", error));
    EXPECT_EQ(c.FieldDataFile, "my field.txt");
}

TEST(Configuration, ProfileIsFlatDefaultsThenWidgetsClosedByEmptyKey) {
    const auto& p = componentProfile();
    const std::size_t constraints = parameterConstraints().size();
    ASSERT_EQ(p.size(), 2 * (11 + 3 * kParameterCount + constraints) + 1);
    EXPECT_EQ(p[0], "implementation_id");
    EXPECT_EQ(p[1], "Vostrel");
    EXPECT_EQ(p[10], "category");
    EXPECT_EQ(p[11], "Simulato");
    EXPECT_EQ(p[22], "conf.default.FieldDataFile");
    EXPECT_EQ(p[23], "Field.txt");
    EXPECT_EQ(p[22 + 2 * kParameterCount], "conf.__widget__.FieldDataFile");
    EXPECT_EQ(p[23 + 2 * kParameterCount], "text");
    // The value ranges tools check against follow the widgets.
    EXPECT_EQ(p[22 + 4 * kParameterCount], "conf.__constraints__.robot_tread");
    EXPECT_EQ(p[23 + 4 * kParameterCount], "x>0");
    // And the type of each parameter.
    const std::size_t types = 22 + 4 * kParameterCount + 2 * constraints;
    EXPECT_EQ(p[types], "conf.__type__.FieldDataFile");
    EXPECT_EQ(p[types + 1], "string");
    EXPECT_EQ(p[types + 2 * 22 + 1], "int");  // range_data_num
    EXPECT_EQ(p.back(), "");
}

}  // namespace
}  // namespace vostrel
