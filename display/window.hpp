#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

#include <opencv2/core.hpp>

namespace vostrel {

class GifWriter;

struct WindowOptions {
    // Show the image on screen when a display is reachable. When none is, the window draws
    // without showing and says so once on the console.
    bool show = true;
    // When not empty, every shown frame is also written there as a numbered PNG file
    // (000000.png, 000001.png, ...); the directory is created when missing.
    std::string frameDirectory;
    // When set, every shown frame is also added to this animation (not owned; it must outlive
    // the window).
    GifWriter* animation = nullptr;
};

// A titled colour image, optionally shown in an on-screen window of the same title. Pixels are
// stored blue, green, red. All calls belong on one thread: the window library binds its event
// loop to the thread that first opens a window.
class Window {
  public:
    static constexpr std::size_t kMaxTitle = 255;

    // width x height pixels (at least 1 x 1), white; the title is cut to kMaxTitle characters.
    Window(std::string_view title, int width, int height, const WindowOptions& options,
           std::ostream& console);
    virtual ~Window();
    // One image belongs to one on-screen window; a copy would close it twice.
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Fills the image white.
    void clear();
    // Hands the image to the screen and pumps window events for 1 ms (key presses are
    // ignored), then writes the frame file if frames were asked for.
    void show();

    int width() const { return width_; }
    int height() const { return height_; }
    const std::string& title() const { return title_; }
    const cv::Mat& image() const { return image_; }
    bool onScreen() const { return onScreen_; }
    std::uint64_t framesWritten() const { return frameNumber_; }
    // For overlays drawn in pixel space.
    cv::Mat& canvas() { return image_; }

  private:
    void writeFrame();

    int width_;
    int height_;
    cv::Mat image_;
    std::string title_;
    bool onScreen_ = false;
    std::string frameDirectory_;
    std::uint64_t frameNumber_ = 0;
    GifWriter* animation_;
    std::ostream& console_;
};

inline constexpr const char* kNoDisplay =
    "No display reachable: the simulation is drawn but not shown";

}  // namespace vostrel
