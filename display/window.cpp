#include "display/window.hpp"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <system_error>

#include <opencv2/highgui.hpp>
#include <opencv2/imgcodecs.hpp>

#include "display/display_probe.hpp"
#include "display/gif_writer.hpp"

namespace vostrel {

namespace {
const cv::Scalar kWhite(255, 255, 255, 0);
}  // namespace

Window::Window(std::string_view title, int width, int height, const WindowOptions& options,
               std::ostream& console)
    : width_(std::max(width, 1)),
      height_(std::max(height, 1)),
      image_(height_, width_, CV_8UC3, kWhite),
      title_(title.substr(0, kMaxTitle)),
      frameDirectory_(options.frameDirectory),
      animation_(options.animation),
      console_(console) {
    if (options.show) {
        // Asked before any window call: the window library would end the process instead.
        if (displayReachable()) {
            cv::namedWindow(title_, cv::WINDOW_AUTOSIZE);
            onScreen_ = true;
        } else {
            console_ << kNoDisplay << "\n";
        }
    }
    if (!frameDirectory_.empty()) {
        std::error_code error;
        std::filesystem::create_directories(frameDirectory_, error);
        if (error) {
            console_ << "Cannot create the frame directory " << frameDirectory_ << ": "
                     << error.message() << "; no frames are written\n";
            frameDirectory_.clear();
        }
    }
}

Window::~Window() {
    if (onScreen_) cv::destroyWindow(title_);
}

void Window::clear() {
    image_.setTo(kWhite);
}

void Window::show() {
    if (onScreen_) {
        cv::imshow(title_, image_);
        cv::waitKey(1);
    }
    if (!frameDirectory_.empty()) writeFrame();
    if (animation_ != nullptr && !animation_->addFrame(image_.data, width_, height_, image_.step)) {
        // Once, as for the frames; the owner of the animation reports the failure at the end.
        console_ << "Cannot add to the animation " << animation_->path() << ": "
                 << animation_->error() << "; no more frames are added\n";
        animation_ = nullptr;
    }
}

void Window::writeFrame() {
    char name[32];
    std::snprintf(name, sizeof name, "%06llu.png", static_cast<unsigned long long>(frameNumber_));
    const std::filesystem::path path = std::filesystem::path(frameDirectory_) / name;
    bool written = false;
    try {
        written = cv::imwrite(path.string(), image_);
    } catch (const cv::Exception&) {
        written = false;
    }
    if (!written) {
        // Once: a full disk should not flood the console every cycle.
        console_ << "Cannot write the frame " << path.string() << "; no more frames are written\n";
        frameDirectory_.clear();
        return;
    }
    ++frameNumber_;
}

}  // namespace vostrel
