#pragma once

#include <vector>

#include "environment/growing_grid.hpp"
#include "environment/segment.hpp"

namespace vostrel {

enum class EdgeKind : int { WallEdge = 0, TriangleEdge = 1, CutEdge = 2 };

struct NetworkVertex {
    double x = 0.0;
    double y = 0.0;
    int cut = 0;  // 1 when the vertex was made for a cut segment

    Vec2 point() const { return {x, y}; }
};

struct NetworkEdge {
    EdgeKind kind = EdgeKind::WallEdge;
    int vertexA = -1;
    int vertexB = -1;
    int polygonA = -1;  // polygon indices, -1 when none
    int polygonB = -1;
};

// The planar graph of walls, cut segments and triangle sides. Every operation keeps it planar:
// where a new vertex lies on an edge, or a new edge crosses one, the edges are split there.
// Without an index each primitive scans the whole vertex and edge lists; that plain form is
// the reference. With useIndex() the primitives look only at the vertices and edges in nearby
// grid cells and at the edges of a vertex, visiting them in the same (index) order, so the
// graph that results is the same, vertex for vertex and edge for edge.
class NetworkGraph {
  public:
    static constexpr double kSameVertex = 1e-6;
    static constexpr double kOnEdge = 1e-6;
    // Added to every query box of the index: far above the tolerances and the rounding of the
    // tests, so that whatever the plain scan would find lies inside the box.
    static constexpr double kNear = 1e-5;

    // Turns the index on; call while the graph is empty. Bounds should cover the walls (places
    // outside still work, only slower), cellSize about the spacing of the walls.
    void useIndex(const Box& bounds, double cellSize);
    bool indexed() const { return indexed_; }
    // Indices, ascending, of the vertices / edges that may lie in or touch the box (all of
    // them without an index).
    void verticesNear(const Box& box, std::vector<int>& out) const;
    void edgesNear(const Box& box, std::vector<int>& out) const;
    static Box boxOf(const Segment& s, double margin);
    static Box boxAround(Vec2 p, double margin) {
        return {p.x - margin, p.y - margin, p.x + margin, p.y + margin};
    }

    const std::vector<NetworkVertex>& vertices() const { return vertices_; }
    const std::vector<NetworkEdge>& edges() const { return edges_; }
    NetworkEdge& edge(int index) { return edges_[static_cast<std::size_t>(index)]; }
    const NetworkEdge& edge(int index) const { return edges_[static_cast<std::size_t>(index)]; }
    Vec2 point(int vertex) const { return vertices_[static_cast<std::size_t>(vertex)].point(); }
    Segment segment(const NetworkEdge& e) const {
        return Segment::fromPoints(point(e.vertexA), point(e.vertexB));
    }

    static bool sameVertex(Vec2 a, Vec2 b) { return a == b || (a - b).length() < kSameVertex; }
    static bool liesOn(Vec2 p, const Segment& s) {
        return s.closestFrom(p, 0.0).length() < kOnEdge;
    }

    // First vertex that is the same as p, -1 when none.
    int findVertex(Vec2 p) const;
    int findOrAddVertex(Vec2 p, bool cut);
    // Edge joining a and b in either direction, -1 when none.
    int findEdge(int a, int b) const;
    int findOrAddEdge(EdgeKind kind, int a, int b);
    // Returns the edge index, or -1 when both ends fall on the same vertex.
    int addSegment(const Segment& s, EdgeKind kind);

  private:
    // Splits every edge (other than those ending at v) on which vertex v lies.
    void splitEdgesAt(int v, std::size_t edgeCount);
    int appendEdge(const NetworkEdge& e);
    void fileEdge(int e);  // under the box of its current ends
    void detach(int vertex, int e);

    std::vector<NetworkVertex> vertices_;
    std::vector<NetworkEdge> edges_;

    bool indexed_ = false;
    GrowingGrid vertexGrid_;
    GrowingGrid edgeGrid_;  // an edge stays filed under its former boxes once split: a superset
    std::vector<std::vector<int>> incident_;  // per vertex, the edges ending there
    mutable std::vector<int> near_;           // scratch of the primitives
};

}  // namespace vostrel
