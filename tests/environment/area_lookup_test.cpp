#include <gtest/gtest.h>

#include "environment/area_lookup.hpp"
#include "environment/error.hpp"

namespace vostrel {
namespace {

SubareaList twoSquares() {
    return {Subarea(10, {{0, 0}, {2, 0}, {2, 2}, {0, 2}}),
            Subarea(11, {{2, 0}, {4, 0}, {4, 2}, {2, 2}})};
}

TEST(AreaLookup, SharedBorderBelongsToTheEarlierSubarea) {
    const SubareaList l = twoSquares();
    EXPECT_EQ(indexAt(l, 2, 1), 0);
    EXPECT_EQ(idAt(l, 2, 1), 10);
    EXPECT_EQ(idAt(l, 3, 1), 11);
    EXPECT_EQ(subareaAt(l, 3, 1).id(), 11);
}

TEST(AreaLookup, OutsideEverySubarea) {
    SubareaList l = twoSquares();
    EXPECT_EQ(indexAt(l, 5, 1), -1);
    EXPECT_EQ(idAt(l, 5, 1), -1);
    try {
        subareaAt(l, 5, 1);
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Error: Coordinate is out of subareas.");
    }
}

TEST(AreaLookup, Density) {
    const SubareaList l = twoSquares();
    EXPECT_DOUBLE_EQ(l[0].density(2), 0.5);
    EXPECT_DOUBLE_EQ(l[0].density(0), 0.0);
}

}  // namespace
}  // namespace vostrel
