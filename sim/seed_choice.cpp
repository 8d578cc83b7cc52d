#include "sim/seed_choice.hpp"

#include <charconv>
#include <limits>

namespace vostrel {

namespace {

constexpr const char* kKey = "vostrel.seed";

std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

SeedChoice SeedChoice::from(const std::string& setting, std::uint32_t clockSeed) {
    const std::string text = trimmed(setting);
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    std::uint32_t seed = clockSeed;
    std::string why;
    if (text.empty()) {
        why = std::string("calendar time; repeat with ") + kKey + ": " + std::to_string(seed);
    } else if (error == std::errc() && stop == end &&
               value <= std::numeric_limits<std::uint32_t>::max()) {
        seed = static_cast<std::uint32_t>(value);
        why = kKey;
    } else {
        why = std::string("calendar time: ") + kKey + " '" + text +
              "' is not a whole number from 0 to 4294967295";
    }
    return {seed, "vostrel: random seed " + std::to_string(seed) + " (" + why + ")\n"};
}

}  // namespace vostrel
