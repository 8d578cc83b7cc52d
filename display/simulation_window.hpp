#pragma once

#include <iosfwd>
#include <memory>
#include <span>
#include <string_view>

#include <opencv2/core/types.hpp>

#include "display/display_settings.hpp"
#include "display/window.hpp"
#include "environment/pose_2d.hpp"
#include "environment/segment.hpp"
#include "environment/walls.hpp"

namespace vostrel {

// What the display needs of one person, filled by the caller from the crowd.
struct PersonDrawData {
    Vec2 position;  // m
    Vec2 velocity;  // m/s; the heading line points along it, none when it is zero
    int id = 0;
};

// Everything one redraw shows, in the order it is drawn.
struct DisplayScene {
    std::span<const Segment> rays;  // the range sensor's display rays, in ray order
    bool drawRays = false;
    std::span<const Segment> walls;
    std::span<const Pose2D> robots;
    std::span<const PersonDrawData> persons;
    int followingTargetId = 2;  // this person is drawn red, the others green
};

// A top view of the world: x to the right, y upwards, k pixels per metre, origin at the
// bottom-left corner of the image.
class SimulationWindow : public Window {
  public:
    static constexpr double kAgentRadius = 0.225;  // m

    // The image is (w + 1) x (h + 1 + band) pixels; the band rows lie above the world, which
    // keeps its pixel mapping.
    SimulationWindow(std::string_view title, int w, int h, double k, const WindowOptions& options,
                     std::ostream& console, int band = 0);

    double scale() const { return k_; }
    int band() const { return band_; }

    // Colours are given red, green, blue, each 0..255. Lines are 8-connected.
    void drawWall(const Segment& wall);
    void drawSegment(const Segment& segment, int red, int green, int blue, int thickness);
    void drawDisc(double x, double y, int red, int green, int blue, double radius);
    // A filled disc at the segment's origin over a heading line of twice the radius along the
    // segment's direction; a zero direction gives no line beyond the disc.
    void drawAgent(const Segment& motion, int red, int green, int blue, double radius);

    // One cycle's redraw: clear, rays (when asked), walls, robots, persons, show. Later
    // drawings cover earlier ones.
    void displayStep(const DisplayScene& scene);
    // The walls, robots and persons of displayStep, in its order.
    void drawWorld(const DisplayScene& scene);

    // Pixel of a line end point, and of a disc centre one row lower.
    cv::Point lineEnd(Vec2 p) const;
    cv::Point discCentre(Vec2 p) const;

  private:
    double k_;
    int band_;
};

inline constexpr const char* kWindowTitle = "Vostrel";

// Whether the whole environment fits one image at showMapScale, with the rows bandFor (when
// given) adds above it: at most 32767 pixels a side and 64 Mi pixels in all, which the drawing
// library holds comfortably.
bool showsWhole(const Walls& walls, double showMapScale, int (*bandFor)(int width) = nullptr);

// The window for an environment: k = 1 / showMapScale, w = trunc(maxX*k) + 1, h likewise.
// An environment that does not fit (see showsWhole) is shown cut to the largest image, from
// its lower-left corner. bandFor, when given, says how many rows to add above the world for an
// image of some width.
std::unique_ptr<SimulationWindow> openSimulationWindow(const Walls& walls,
                                                       const DisplaySettings& settings,
                                                       const WindowOptions& options,
                                                       std::ostream& console,
                                                       int (*bandFor)(int width) = nullptr);

}  // namespace vostrel
