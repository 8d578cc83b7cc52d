#include <gtest/gtest.h>

#include "sim/seed_choice.hpp"

namespace vostrel {
namespace {

// Each way the key can be set names the seed in use in one line, and says where it came
// from; a value that is not a seed falls back to the clock rather than to some part of it.
TEST(SeedChoice, TakesTheKeyOrTheClockAndSaysWhich) {
    const struct {
        const char* setting;
        std::uint32_t seed;
        const char* line;
    } cases[] = {
        {"42", 42, "vostrel: random seed 42 (vostrel.seed)\n"},
        {" 007\t", 7, "vostrel: random seed 7 (vostrel.seed)\n"},
        {"0", 0, "vostrel: random seed 0 (vostrel.seed)\n"},
        {"4294967295", 4294967295u, "vostrel: random seed 4294967295 (vostrel.seed)\n"},
        {"", 1234, "vostrel: random seed 1234 (calendar time; repeat with vostrel.seed: 1234)\n"},
        {"  ", 1234, "vostrel: random seed 1234 (calendar time; repeat with vostrel.seed: 1234)\n"},
        {"4294967296", 1234,
         "vostrel: random seed 1234 (calendar time: vostrel.seed '4294967296' is not a whole "
         "number from 0 to 4294967295)\n"},
        {"-1", 1234,
         "vostrel: random seed 1234 (calendar time: vostrel.seed '-1' is not a whole number "
         "from 0 to 4294967295)\n"},
        {"12abc", 1234,
         "vostrel: random seed 1234 (calendar time: vostrel.seed '12abc' is not a whole number "
         "from 0 to 4294967295)\n"},
        {"1e3", 1234,
         "vostrel: random seed 1234 (calendar time: vostrel.seed '1e3' is not a whole number "
         "from 0 to 4294967295)\n"},
    };
    for (const auto& c : cases) {
        const SeedChoice choice = SeedChoice::from(c.setting, 1234);
        EXPECT_EQ(choice.seed, c.seed) << "'" << c.setting << "'";
        EXPECT_EQ(choice.line, c.line) << "'" << c.setting << "'";
    }
}

}  // namespace
}  // namespace vostrel
