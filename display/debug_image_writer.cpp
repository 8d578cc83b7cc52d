#include "display/debug_image_writer.hpp"

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <system_error>
#include <type_traits>

namespace vostrel {

namespace {

cv::Scalar bgr(DebugImage::Rgb c) {
    return {double(c.b), double(c.g), double(c.r)};
}
cv::Point point(DebugImage::Pixel p) {
    return {p.x, p.y};
}

void draw(cv::Mat& mat, const DebugImage::Shape& shape) {
    std::visit(
        [&](const auto& s) {
            using S = std::decay_t<decltype(s)>;
            if constexpr (std::is_same_v<S, DebugImage::Line>)
                cv::line(mat, point(s.from), point(s.to), bgr(s.colour), s.thickness, cv::LINE_8);
            else
                cv::circle(mat, point(s.centre), s.radius, bgr(s.colour), s.thickness, cv::LINE_8);
        },
        shape);
}

}  // namespace

void DebugImageWriter::write(const std::string& name, const DebugImage& image) {
    if (image.width <= 0 || image.height <= 0 ||
        static_cast<long long>(image.width) * image.height > kMaxPixels)
        return;
    try {
        const std::filesystem::path file = root_ / name;
        std::error_code ignored;
        std::filesystem::create_directories(file.parent_path(), ignored);
        cv::Mat mat(image.height, image.width, CV_8UC3, cv::Scalar(255, 255, 255));
        for (const DebugImage::Shape& shape : image.shapes) draw(mat, shape);
        cv::imwrite(file.string(), mat);
    } catch (const std::exception&) {
        // cv::Exception derives from std::exception; out of memory lands here too.
    }
}

}  // namespace vostrel
