#pragma once

#include <vector>

#include "environment/debug_image_sink.hpp"
#include "environment/network_graph.hpp"
#include "environment/polygon.hpp"

namespace vostrel {

// The debug pictures of the spatial network: 40 pixels per metre, y upward, the image just
// large enough for every vertex (the environment starts at the origin).
class NetworkCanvas {
  public:
    static constexpr double kScale = 40.0;

    explicit NetworkCanvas(const std::vector<NetworkVertex>& vertices);

    DebugImage::Pixel pixel(Vec2 p) const;
    int width() const { return width_; }
    int height() const { return height_; }

    // Every edge by kind, then every vertex as a ring (green, red when made for a cut).
    static DebugImage graphImage(const NetworkGraph& graph);
    // The sides of the given polygons in blue, then the walls over them.
    static DebugImage polygonImage(const NetworkGraph& graph, const std::vector<Polygon>& shapes);

  private:
    DebugImage blank() const { return {width_, height_, {}}; }

    double top_ = 0.0;  // largest scaled y, the image row of y = 0
    int width_ = 1;
    int height_ = 1;
};

}  // namespace vostrel
