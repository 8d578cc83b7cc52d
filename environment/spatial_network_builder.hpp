#pragma once

#include <functional>
#include <iosfwd>
#include <vector>

#include "environment/area_lookup.hpp"
#include "environment/debug_image_sink.hpp"
#include "environment/environment.hpp"
#include "environment/error.hpp"
#include "environment/network_graph.hpp"
#include "environment/polygon.hpp"
#include "environment/walls.hpp"

namespace vostrel {

// Asked now and then during a build; true stops it with BuildCancelled. A build can take far
// longer than its caller may wait (an activation has a time limit), and a build left running
// would finish behind the caller's back.
using CancelCheck = std::function<bool()>;

class BuildCancelled : public Error {
  public:
    BuildCancelled() : Error("The spatial network build was cancelled.") {}
};

struct NetworkPolygon {
    Polygon shape;
    int mergedInto = -1;     // -1 while final, else the polygon it was merged into
    std::vector<int> edges;  // edge indices
};

// Turns walls into convex subareas of free space: the planar graph of the walls, cut segments
// from wall corners to the walls they face, a constrained Delaunay triangulation of the result
// and the merging of neighbouring triangles into convex polygons. The triangulation library
// stays inside this class's implementation.
class SpatialNetworkBuilder {
  public:
    static constexpr double kPerpendicular = 1e-7;

    // Builds the whole network. err gets the start line, out the merge line; images (when
    // given) receives the three step pictures and the polygon picture. Without the index every
    // test scans all walls, vertices and edges: the slow reference the indexed build must match.
    SpatialNetworkBuilder(const Walls& walls, std::ostream& err, std::ostream& out,
                          DebugImageSink* images = nullptr, CancelCheck cancelled = {},
                          bool indexed = true);

    // One subarea per final polygon (id = polygon index) and one link per shared non-wall edge
    // at least minBorderLength long (every edge when it is 0).
    SubareaList generate(double minBorderLength) const;
    // The subareas reachable through links from the first one containing start, in list order;
    // empty when no subarea contains start.
    static SubareaList optimise(const SubareaList& subareas, Vec2 start);
    // generate(0) then optimise(start), printing both counts on the error stream.
    SubareaList subareasReachableFrom(Vec2 start) const;

    const NetworkGraph& graph() const { return graph_; }
    const std::vector<NetworkPolygon>& polygons() const { return polygons_; }
    // Follows mergedInto to the final polygon; -1 stays -1.
    int root(int polygon) const;

  private:
    void stopIfCancelled() const {
        if (cancelled_ && cancelled_()) throw BuildCancelled();
    }
    void addWalls();
    void addCutSegments();
    void triangulate();
    void mergeTriangles();
    void writeGraphImage();
    void writePolygonImage();

    std::vector<Segment> walls_;  // as loaded, before any splitting
    NetworkGraph graph_;
    std::vector<NetworkPolygon> polygons_;
    int imageCounter_ = 0;
    double cellSize_ = 1.0;
    std::ostream& err_;
    std::ostream& out_;
    DebugImageSink* images_;
    CancelCheck cancelled_;
};

// What activation does with the environment: nothing when it has no entrance; otherwise the
// network, reduced to what is reachable from the midpoint of the first entrance.
// Throws BuildCancelled when `cancelled` says so.
SubareaList buildSpatialNetwork(const Environment& environment, std::ostream& err,
                                std::ostream& out, DebugImageSink* images,
                                CancelCheck cancelled = {});

}  // namespace vostrel
