#pragma once

#include <cstdint>

namespace vostrel {

// A colour as red, green, blue, each 0..255.
struct Rgb {
    std::uint8_t red, green, blue;
};

// The colours the annotated picture adds to the display's own. Light tones for tracks and the
// thinned laser keep them behind the agents they belong to; the animation's palette holds
// each of them exactly.
namespace colours {
inline constexpr Rgb kRobot{255, 127, 0};
inline constexpr Rgb kPerson{0, 255, 0};
inline constexpr Rgb kFollowed{255, 0, 0};
inline constexpr Rgb kThinRay{150, 180, 255};
inline constexpr Rgb kRobotTrail{255, 200, 150};
inline constexpr Rgb kPersonTrail{150, 220, 150};
inline constexpr Rgb kFollowedTrail{255, 160, 160};
inline constexpr Rgb kBand{235, 235, 235};
inline constexpr Rgb kExtra[] = {kRobot,       kThinRay,       kRobotTrail,
                                 kPersonTrail, kFollowedTrail, kBand};
}  // namespace colours

}  // namespace vostrel
