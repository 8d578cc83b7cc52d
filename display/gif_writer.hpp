#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace vostrel {

// Writes a sequence of equally sized colour images as one looping GIF animation. The palette
// is fixed: the display's own flat colours exactly, everything else (text edges) to the nearest
// of a colour cube and a grey ramp, so a run's file is the same bytes every time. Each frame
// after the first stores only the rectangle that changed.
class GifWriter {
  public:
    // Opens (truncates) the file at once, so that a path that cannot be written is known
    // before a run starts. Each frame is shown for frameMs milliseconds (rounded to the format's
    // hundredths of a second, at least 0.02 s, which viewers honour).
    GifWriter(std::string path, int frameMs);
    ~GifWriter();
    GifWriter(const GifWriter&) = delete;
    GifWriter& operator=(const GifWriter&) = delete;

    // One frame of width x height pixels, 3 bytes each in blue, green, red order, rows
    // `stride` bytes apart. The first frame fixes the size; a frame of another size is refused
    // (false, reason in error()).
    bool addFrame(const std::uint8_t* bgr, int width, int height, std::size_t stride);
    // Writes the trailer and closes the file; false when any write failed.
    bool finish();

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    const std::string& path() const { return path_; }
    std::uint64_t frames() const { return frames_; }

    // The palette index a colour is stored as; exposed for tests.
    static std::uint8_t paletteIndex(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
    static const std::uint8_t* paletteRgb();  // 256 x (red, green, blue)

  private:
    void fail(std::string reason);
    void writeHeader(int width, int height);
    void writeFrame(int left, int top, int width, int height);

    std::string path_;
    std::ofstream file_;
    int delay_;  // hundredths of a second
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint8_t> current_;
    std::vector<std::uint8_t> previous_;
    std::uint64_t frames_ = 0;
    bool finished_ = false;
    std::string error_;
};

}  // namespace vostrel
