#pragma once

#include <cstdint>
#include <string>

namespace vostrel {

// The seed of the component's random sequence and the console line that tells it, so that
// any run can be repeated: the rtc.conf key vostrel.seed when it holds a seed, the calendar
// time otherwise.
struct SeedChoice {
    std::uint32_t seed = 0;
    std::string line;  // one line, ending in a line break

    // `setting` is the key's text, empty when the key is absent; `clockSeed` is taken when
    // it is empty or not a whole number from 0 to 4294967295 (the line then says so).
    static SeedChoice from(const std::string& setting, std::uint32_t clockSeed);
};

}  // namespace vostrel
