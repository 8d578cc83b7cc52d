#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace vostrel {

// A picture as plain drawing data, so that the core can describe its debug images without
// depending on an imaging library. Coordinates are pixels, y downward, and may lie outside
// the image (the drawing clips).
struct DebugImage {
    struct Rgb {
        std::uint8_t r = 0;
        std::uint8_t g = 0;
        std::uint8_t b = 0;
        constexpr bool operator==(const Rgb&) const = default;
    };
    struct Pixel {
        int x = 0;
        int y = 0;
        constexpr bool operator==(const Pixel&) const = default;
    };
    struct Line {
        Pixel from;
        Pixel to;
        Rgb colour;
        int thickness = 1;
    };
    // An outline, not a disc.
    struct Circle {
        Pixel centre;
        int radius = 0;
        Rgb colour;
        int thickness = 1;
    };
    using Shape = std::variant<Line, Circle>;

    static constexpr Rgb kBlack{0, 0, 0};
    static constexpr Rgb kBlue{0, 0, 255};
    static constexpr Rgb kRed{255, 0, 0};
    static constexpr Rgb kGreen{0, 255, 0};

    int width = 0;
    int height = 0;
    std::vector<Shape> shapes;  // drawn in this order, 8-connected, on a white background
};

// Where debug images go. Writing is best effort: a sink reports no failure.
class DebugImageSink {
  public:
    virtual ~DebugImageSink() = default;
    // name is relative, with '/' separators (for example "Images/0000.png").
    virtual void write(const std::string& name, const DebugImage& image) = 0;
};

}  // namespace vostrel
