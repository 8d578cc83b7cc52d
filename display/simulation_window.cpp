#include "display/simulation_window.hpp"

#include <algorithm>
#include <cmath>
#include <optional>
#include <ostream>

#include <opencv2/imgproc.hpp>

namespace vostrel {

namespace {

// Pixel coordinates within this range go to the drawing library as they are (it clips lines
// in 64-bit arithmetic); anything farther out is clipped here first, so no double beyond the
// int range is ever converted.
constexpr double kSafe = 1 << 30;

constexpr int kMaxSide = 32767;                        // the largest window X can show
constexpr double kMaxPixels = 64.0 * 1024.0 * 1024.0;  // 192 MiB of image

cv::Scalar colour(int red, int green, int blue) {
    return cv::Scalar(blue, green, red, 0);
}

// Clips the pixel-space segment a..b to the box [lo, hi] on both axes (Liang-Barsky).
// False when nothing of it lies inside or a coordinate is NaN.
bool clipToBox(double& ax, double& ay, double& bx, double& by, double lo, double hi) {
    double t0 = 0.0;
    double t1 = 1.0;
    const double dx = bx - ax;
    const double dy = by - ay;
    const auto edge = [&](double p, double q) {
        if (p == 0.0) return q >= 0.0;
        const double r = q / p;
        if (p < 0.0) {
            if (r > t1) return false;
            t0 = std::max(t0, r);
        } else {
            if (r < t0) return false;
            t1 = std::min(t1, r);
        }
        return true;
    };
    if (!(edge(-dx, ax - lo) && edge(dx, hi - ax) && edge(-dy, ay - lo) && edge(dy, hi - ay)))
        return false;
    if (!(t0 <= t1)) return false;
    const double x0 = ax + t0 * dx, y0 = ay + t0 * dy;
    bx = ax + t1 * dx;
    by = ay + t1 * dy;
    ax = x0;
    ay = y0;
    return std::isfinite(ax) && std::isfinite(ay) && std::isfinite(bx) && std::isfinite(by);
}

bool safe(double v) {
    return v > -kSafe && v < kSafe;
}

// Image size in pixels before the +1 of the window, with k pixels per metre.
struct WindowSize {
    double k, w, h, band;
    bool fits() const {
        return w >= 1.0 && h >= 1.0 && w + 1.0 <= kMaxSide && h + 1.0 + band <= kMaxSide &&
               (w + 1.0) * (h + 1.0 + band) <= kMaxPixels;
    }
};

// The band's height depends on the width, which is capped; it is never more than a few text
// lines, so reserving the most it can take keeps the caps simple.
double bandRows(int (*bandFor)(int width)) {
    return bandFor != nullptr ? bandFor(1) : 0.0;
}

WindowSize sizeAt(const Walls& walls, double scale, double band) {
    const double k = 1.0 / scale;
    return {k, std::trunc(walls.maxX() * k) + 1.0, std::trunc(walls.maxY() * k) + 1.0, band};
}

}  // namespace

SimulationWindow::SimulationWindow(std::string_view title, int w, int h, double k,
                                   const WindowOptions& options, std::ostream& console, int band)
    : Window(title, w + 1, h + 1 + band, options, console), k_(k), band_(band) {}

cv::Point SimulationWindow::lineEnd(Vec2 p) const {
    return {static_cast<int>(std::trunc(p.x * k_)),
            height() - static_cast<int>(std::trunc(p.y * k_)) - 1};
}

cv::Point SimulationWindow::discCentre(Vec2 p) const {
    return {static_cast<int>(std::trunc(p.x * k_)),
            height() - static_cast<int>(std::trunc(p.y * k_))};
}

void SimulationWindow::drawWall(const Segment& wall) {
    drawSegment(wall, 0, 0, 0, 1);
}

void SimulationWindow::drawSegment(const Segment& segment, int red, int green, int blue,
                                   int thickness) {
    const Vec2 a = segment.origin;
    const Vec2 b = segment.end();
    double ax = std::trunc(a.x * k_), ay = height() - std::trunc(a.y * k_) - 1.0;
    double bx = std::trunc(b.x * k_), by = height() - std::trunc(b.y * k_) - 1.0;
    if (!(safe(ax) && safe(ay) && safe(bx) && safe(by))) {
        const double margin = 1024.0 + thickness;
        if (!clipToBox(ax, ay, bx, by, -margin, std::max(width(), height()) + margin)) return;
        ax = std::trunc(ax), ay = std::trunc(ay), bx = std::trunc(bx), by = std::trunc(by);
    }
    cv::line(canvas(), cv::Point(static_cast<int>(ax), static_cast<int>(ay)),
             cv::Point(static_cast<int>(bx), static_cast<int>(by)), colour(red, green, blue),
             std::clamp(thickness, 1, 32767), cv::LINE_8);
}

void SimulationWindow::drawDisc(double x, double y, int red, int green, int blue, double radius) {
    const double cx = std::trunc(x * k_);
    const double cy = height() - std::trunc(y * k_);
    const double r = std::trunc(radius * k_);
    if (!(safe(cx) && safe(cy) && r >= 0.0 && r < kSafe)) return;
    cv::circle(canvas(), cv::Point(static_cast<int>(cx), static_cast<int>(cy)), static_cast<int>(r),
               colour(red, green, blue), cv::FILLED, cv::LINE_8);
}

void SimulationWindow::drawAgent(const Segment& motion, int red, int green, int blue,
                                 double radius) {
    const Segment heading{motion.direction.normalised() * (2.0 * radius), motion.origin};
    drawSegment(heading, red, green, blue, 1);
    drawDisc(motion.origin.x, motion.origin.y, red, green, blue, radius);
}

void SimulationWindow::displayStep(const DisplayScene& scene) {
    clear();
    if (scene.drawRays)
        for (const Segment& ray : scene.rays) drawSegment(ray, 0, 0, 255, 1);
    drawWorld(scene);
    show();
}

void SimulationWindow::drawWorld(const DisplayScene& scene) {
    for (const Segment& wall : scene.walls) drawWall(wall);
    for (const Pose2D& robot : scene.robots)
        drawAgent(Segment{{std::cos(robot.heading), std::sin(robot.heading)}, {robot.x, robot.y}},
                  255, 127, 0, kAgentRadius);
    for (const PersonDrawData& person : scene.persons) {
        const bool followed = person.id == scene.followingTargetId;
        drawAgent(Segment{person.velocity, person.position}, followed ? 255 : 0, followed ? 0 : 255,
                  0, kAgentRadius);
    }
}

bool showsWhole(const Walls& walls, double showMapScale, int (*bandFor)(int width)) {
    return sizeAt(walls, showMapScale, bandRows(bandFor)).fits();
}

std::unique_ptr<SimulationWindow> openSimulationWindow(const Walls& walls,
                                                       const DisplaySettings& settings,
                                                       const WindowOptions& options,
                                                       std::ostream& console,
                                                       int (*bandFor)(int width)) {
    const double band = bandRows(bandFor);
    WindowSize size = sizeAt(walls, settings.showMapScale, band);
    if (!size.fits()) {
        // NaN sizes fall to 1 here; the comparisons are written so that they do.
        size.w = size.w >= 1.0 ? std::min(size.w, kMaxSide - 1.0) : 1.0;
        size.h = size.h >= 1.0 ? std::min(size.h, kMaxSide - 1.0 - band) : 1.0;
        size.h = std::min(size.h, std::floor(kMaxPixels / (size.w + 1.0)) - 1.0 - band);
    }
    const int width = static_cast<int>(size.w);
    return std::make_unique<SimulationWindow>(kWindowTitle, width, static_cast<int>(size.h), size.k,
                                              options, console,
                                              bandFor != nullptr ? bandFor(width + 1) : 0);
}

}  // namespace vostrel
