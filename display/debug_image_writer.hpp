#pragma once

#include <filesystem>
#include <string>

#include "environment/debug_image_sink.hpp"

namespace vostrel {

// Writes debug images as PNG files below a root directory (the working directory by default),
// creating missing directories on the way. Best effort: a picture that cannot be made or
// written is dropped without a word, so that a read-only directory never stops a run.
class DebugImageWriter : public DebugImageSink {
  public:
    // Beyond this an image is not made: at 40 pixels per metre it covers a floor of about
    // 290 m by 290 m, and its 400 MB are already more than a debug picture is worth.
    static constexpr long long kMaxPixels = 1LL << 27;

    explicit DebugImageWriter(std::filesystem::path root = ".") : root_(std::move(root)) {}

    void write(const std::string& name, const DebugImage& image) override;

  private:
    std::filesystem::path root_;
};

}  // namespace vostrel
