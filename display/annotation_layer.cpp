#include "display/annotation_layer.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ostream>

#include <opencv2/imgproc.hpp>

#include "display/display_colours.hpp"

namespace vostrel {

namespace {

constexpr int kFont = cv::FONT_HERSHEY_SIMPLEX;
constexpr double kFontScale = 0.4;
constexpr int kPad = 6;
constexpr int kGap = 16;
constexpr int kLine = 18;
constexpr int kSwatch = 14;
constexpr int kScaleBarMax = 80;  // px
constexpr int kArrowLength = 30;  // px
constexpr int kArrowInset = 6;    // px from the picture's edge

cv::Scalar bgr(Rgb c) {
    return {double(c.blue), double(c.green), double(c.red), 0.0};
}
const cv::Scalar kInk(0, 0, 0, 0);

int textWidth(const std::string& text) {
    int baseline = 0;
    return cv::getTextSize(text, kFont, kFontScale, 1, &baseline).width;
}

// The band's items, in reading order; widths are fixed per item (the changing texts get the
// room of their longest form), so the layout depends on the image width only.
enum Item { kTime, kCount, kRobot, kPerson, kFollowed, kLaser, kScale, kItems };
constexpr std::array<const char*, kItems> kLabels{"t 00000.0 s  step 0000000",
                                                  "persons 00000  seed 0000000000",
                                                  "robot",
                                                  "person",
                                                  "followed person",
                                                  "laser",
                                                  "00000 m"};

struct Layout {
    std::array<cv::Point, kItems> at;  // top-left corner of each item
    int lines = 1;
};

int itemWidth(int item) {
    const int text = textWidth(kLabels[item]);
    if (item == kTime || item == kCount) return text;
    if (item == kScale) return text + 4 + kScaleBarMax;
    return kSwatch + 4 + text;
}

Layout layout(int width) {
    Layout l;
    int x = kPad, line = 0;
    for (int item = 0; item < kItems; ++item) {
        const int w = itemWidth(item);
        if (x > kPad && x + w > width - kPad) x = kPad, ++line;
        l.at[item] = {x, kPad / 2 + line * kLine};
        x += w + kGap;
    }
    l.lines = line + 1;
    return l;
}

void text(cv::Mat& image, const std::string& s, cv::Point topLeft) {
    cv::putText(image, s, topLeft + cv::Point(0, 13), kFont, kFontScale, kInk, 1, cv::LINE_AA);
}

// The longest of 1, 2 and 5 times a power of ten that fits in `metres`.
double niceLength(double metres) {
    if (!(metres > 0.0) || !std::isfinite(metres)) return 0.0;
    const double base = std::pow(10.0, std::floor(std::log10(metres)));
    for (const double f : {5.0, 2.0, 1.0})
        if (f * base <= metres) return f * base;
    return base;
}

}  // namespace

AnnotationOptions annotationOptions(std::string_view annotate, std::string_view trails,
                                    std::ostream& console) {
    AnnotationOptions options;
    if (annotate == "YES" || annotate == "yes" || annotate == "1")
        options.enabled = true;
    else if (!(annotate == "NO" || annotate == "no" || annotate == "0" || annotate.empty()))
        console << "Invalid vostrel.display.annotate " << annotate
                << " (YES or NO): the picture is not annotated\n";
    double seconds = 0.0;
    const char* end = trails.data() + trails.size();
    const auto [last, error] = std::from_chars(trails.data(), end, seconds);
    if (error != std::errc() || last != end || !(seconds >= 0.0) || !std::isfinite(seconds)) {
        console << "Invalid vostrel.display.trails " << trails
                << " (seconds, 0 or more): no trails are drawn\n";
        seconds = 0.0;
    } else if (seconds > 0.0 && !options.enabled) {
        console << "vostrel.display.trails " << trails
                << " has no effect without vostrel.display.annotate: YES\n";
    }
    options.trailSeconds = seconds;
    return options;
}

AnnotationLayer::AnnotationLayer(double trailSeconds) : trails_(trailSeconds) {}

int AnnotationLayer::bandHeight(int width) {
    return layout(width).lines * kLine + kPad;
}

std::size_t AnnotationLayer::rayStride(std::size_t rays) {
    return std::max<std::size_t>(1, (rays + kMaxRaysDrawn - 1) / kMaxRaysDrawn);
}

void AnnotationLayer::displayStep(SimulationWindow& window, const DisplayScene& scene,
                                  const CycleCaption& caption) {
    positions_.clear();
    for (const PersonDrawData& p : scene.persons) positions_.push_back({p.id, p.position});
    if (!scene.robots.empty())
        trails_.record(caption.time, {scene.robots.front().x, scene.robots.front().y}, positions_);

    window.clear();
    if (scene.drawRays) {
        const std::size_t stride = rayStride(scene.rays.size());
        const Rgb c = colours::kThinRay;
        for (std::size_t i = 0; i < scene.rays.size(); i += stride)
            window.drawSegment(scene.rays[i], c.red, c.green, c.blue, 1);
    }
    drawTrails(window, scene);
    window.drawWorld(scene);
    drawRobotArrow(window, scene);
    drawBand(window, scene, caption);
    window.show();
}

void AnnotationLayer::drawTrails(SimulationWindow& window, const DisplayScene& scene) {
    const auto polyline = [&](const std::deque<Vec2>& points, Rgb c) {
        for (std::size_t i = 1; i < points.size(); ++i)
            window.drawSegment(Segment::fromPoints(points[i - 1], points[i]), c.red, c.green,
                               c.blue, 2);
    };
    polyline(trails_.robot(), colours::kRobotTrail);
    for (const PersonDrawData& p : scene.persons)
        polyline(trails_.person(p.id),
                 p.id == scene.followingTargetId ? colours::kFollowedTrail : colours::kPersonTrail);
}

void AnnotationLayer::drawRobotArrow(SimulationWindow& window, const DisplayScene& scene) {
    if (scene.robots.empty()) return;
    const Pose2D& robot = scene.robots.front();
    const double k = window.scale();
    const double px = std::trunc(robot.x * k);
    const double py = window.height() - std::trunc(robot.y * k);
    if (!std::isfinite(px) || !std::isfinite(py)) return;
    const double top = window.band();
    const double w = window.width(), h = window.height();
    if (px >= 0.0 && px < w && py >= top && py < h) return;
    // From the picture's centre towards the robot, stopped just inside the edge.
    const double cx = w / 2.0, cy = (top + h) / 2.0;
    const double hx = w / 2.0 - kArrowInset, hy = (h - top) / 2.0 - kArrowInset;
    if (hx <= 0.0 || hy <= 0.0) return;
    const double dx = px - cx, dy = py - cy;
    const double t = std::min(dx != 0.0 ? hx / std::abs(dx) : INFINITY,
                              dy != 0.0 ? hy / std::abs(dy) : INFINITY);
    const double length = std::hypot(dx, dy);
    const double back = std::min<double>(kArrowLength, length * t);
    const cv::Point tip(static_cast<int>(cx + t * dx), static_cast<int>(cy + t * dy));
    const cv::Point tail(static_cast<int>(cx + t * dx - back * dx / length),
                         static_cast<int>(cy + t * dy - back * dy / length));
    cv::arrowedLine(window.canvas(), tail, tip, bgr(colours::kRobot), 2, cv::LINE_8, 0, 0.4);
}

void AnnotationLayer::drawBand(SimulationWindow& window, const DisplayScene& scene,
                               const CycleCaption& caption) {
    cv::Mat& image = window.canvas();
    const int width = window.width();
    if (window.band() <= 0) return;
    cv::rectangle(image, cv::Rect(0, 0, width, window.band()), bgr(colours::kBand), cv::FILLED);
    cv::line(image, {0, window.band() - 1}, {width - 1, window.band() - 1}, kInk, 1);
    const Layout l = layout(width);

    char line[96];
    std::snprintf(line, sizeof line, "t %.1f s  step %d", caption.time, caption.step);
    text(image, line, l.at[kTime]);
    std::snprintf(line, sizeof line, "persons %zu  seed %u", scene.persons.size(), caption.seed);
    text(image, line, l.at[kCount]);

    const auto disc = [&](int item, Rgb c) {
        cv::circle(image, l.at[item] + cv::Point(kSwatch / 2, kLine / 2), 5, bgr(c), cv::FILLED,
                   cv::LINE_8);
        text(image, kLabels[item], l.at[item] + cv::Point(kSwatch + 4, 0));
    };
    disc(kRobot, colours::kRobot);
    disc(kPerson, colours::kPerson);
    disc(kFollowed, colours::kFollowed);
    cv::line(image, l.at[kLaser] + cv::Point(0, kLine / 2),
             l.at[kLaser] + cv::Point(kSwatch, kLine / 2), bgr(colours::kThinRay), 2);
    text(image, kLabels[kLaser], l.at[kLaser] + cv::Point(kSwatch + 4, 0));

    const double metres = niceLength(kScaleBarMax / window.scale());
    const int pixels = static_cast<int>(std::lround(metres * window.scale()));
    if (pixels >= 1) {
        std::snprintf(line, sizeof line, "%g m", metres);
        text(image, line, l.at[kScale]);
        const cv::Point left = l.at[kScale] + cv::Point(textWidth(line) + 4, kLine / 2 + 2);
        const cv::Point right = left + cv::Point(pixels, 0);
        cv::line(image, left, right, kInk, 2);
        cv::line(image, left - cv::Point(0, 4), left, kInk, 1);
        cv::line(image, right - cv::Point(0, 4), right, kInk, 1);
    }
}

}  // namespace vostrel
