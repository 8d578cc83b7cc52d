#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vostrel::testing {

// A strict reader of the GIF files the simulator writes, for checking them in tests: every
// frame is decoded and laid over the previous one, as a viewer shows it.
struct GifFile {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> palette;              // 256 x (red, green, blue)
    std::vector<std::vector<std::uint8_t>> frames;  // palette indices, composited
    std::vector<int> delays;                        // hundredths of a second
    bool loops = false;
    std::string error;  // empty when the file is sound
};

GifFile readGif(const std::string& path);

}  // namespace vostrel::testing
