#include "environment/spatial_network_builder.hpp"

#include <CGAL/Constrained_Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include <numeric>
#include <optional>
#include <ostream>

#include "environment/network_canvas.hpp"
#include "environment/uniform_grid.hpp"

namespace vostrel {

namespace {

constexpr const char* kStartText = "\nStart to build spatial network.\n";
constexpr const char* kMergeText = "\nTriangules are merged into convex polygons.\n";
constexpr const char* kGeneratedText = "\nNumber of generated Subareas = ";
constexpr const char* kOptimisedText = "Number of optimised Subareas = ";
constexpr const char* kPolygonImageName = "Images/Polygons.png";

using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
// Constraints never cross in a planar graph, but rounding may still make two of them meet;
// this tag lets the triangulation add a vertex there instead of throwing. Triangles at such
// a vertex are then skipped, as it is no vertex of the graph.
using Triangulation =
    CGAL::Constrained_Delaunay_triangulation_2<Kernel, CGAL::Default, CGAL::Exact_predicates_tag>;

Kernel::Point_2 toCgal(Vec2 p) {
    return {p.x, p.y};
}

constexpr int kMaxCellsPerAxis = 1024;
constexpr double kEverywhere = 1e300;  // a box this large covers every cell

std::vector<Box> boxesOf(const std::vector<Segment>& segments) {
    std::vector<Box> boxes;
    boxes.reserve(segments.size());
    for (const Segment& s : segments) boxes.push_back(NetworkGraph::boxOf(s, NetworkGraph::kNear));
    return boxes;
}

// True when the foot of p on the wall's line lies beyond one of its ends by so much that
// closestFrom must return that end: then the cut's dot product with the wall's direction is at
// least twice the perpendicular tolerance whichever end it picks.
bool surelyBeyondEnds(Vec2 p, const Segment& wall) {
    constexpr double kMargin = 2.0 * SpatialNetworkBuilder::kPerpendicular;
    const double along = (p - wall.origin).dot(wall.direction);
    return along < -kMargin || along > wall.direction.dot(wall.direction) + kMargin;
}

// The corners' box, when the containment test of the triangle can be true only inside it:
// a point outside enters through a side whose line the path to the centre crosses well inside
// both ends, as long as the centre keeps clear of every side line. A sliver, whose centre lies
// almost on its sides, passes that test for points far away; then every place is in reach.
Box reachOfContains(const std::array<Vec2, 3>& at) {
    constexpr double kClear = 1e-4;
    const Vec2 centre = (at[0] + at[1] + at[2]) / 3.0;
    for (std::size_t k = 0; k < 3; ++k) {
        const Vec2 side = at[(k + 1) % 3] - at[k];
        const double length = side.length();
        if (!(std::abs(side.cross(centre - at[k])) > kClear * length))
            return {-kEverywhere, -kEverywhere, kEverywhere, kEverywhere};
    }
    Box box = NetworkGraph::boxOf(Segment::fromPoints(at[0], at[1]), NetworkGraph::kNear);
    box.minX = std::min(box.minX, at[2].x - NetworkGraph::kNear);
    box.minY = std::min(box.minY, at[2].y - NetworkGraph::kNear);
    box.maxX = std::max(box.maxX, at[2].x + NetworkGraph::kNear);
    box.maxY = std::max(box.maxY, at[2].y + NetworkGraph::kNear);
    return box;
}

// The walls' extent and a cell size of about their mean spacing, for the indexes.
Box extentOf(const std::vector<Segment>& walls) {
    Box box{0.0, 0.0, 0.0, 0.0};
    bool any = false;
    for (const Segment& w : walls) {
        const Box b = NetworkGraph::boxOf(w, 0.0);
        if (!b.finite()) continue;
        if (!any) box = b;
        any = true;
        box.minX = std::min(box.minX, b.minX);
        box.minY = std::min(box.minY, b.minY);
        box.maxX = std::max(box.maxX, b.maxX);
        box.maxY = std::max(box.maxY, b.maxY);
    }
    return box;
}

}  // namespace

SpatialNetworkBuilder::SpatialNetworkBuilder(const Walls& walls, std::ostream& err,
                                             std::ostream& out, DebugImageSink* images,
                                             CancelCheck cancelled, bool indexed)
    : walls_(walls.all()), err_(err), out_(out), images_(images), cancelled_(std::move(cancelled)) {
    if (indexed) {
        const Box extent = extentOf(walls_);
        const double area = (extent.maxX - extent.minX) * (extent.maxY - extent.minY);
        const double perWall = area / static_cast<double>(std::max<std::size_t>(walls_.size(), 1));
        cellSize_ = std::max(std::sqrt(perWall), 1e-3);
        graph_.useIndex(extent, cellSize_);
    }
    err_ << kStartText;
    addWalls();
    writeGraphImage();
    addCutSegments();
    writeGraphImage();
    triangulate();
    writeGraphImage();
    mergeTriangles();
    writePolygonImage();
}

void SpatialNetworkBuilder::addWalls() {
    for (const Segment& wall : walls_) {
        stopIfCancelled();
        graph_.addSegment(wall, EdgeKind::WallEdge);
    }
}

void SpatialNetworkBuilder::addCutSegments() {
    const std::vector<NetworkVertex>& vertices = graph_.vertices();
    const bool indexed = graph_.indexed();
    UniformGrid wallGrid;
    if (indexed) wallGrid.build(boxesOf(walls_), cellSize_, kMaxCellsPerAxis);
    const auto crossesWallOtherThan = [&](const Segment& s, std::size_t skip) {
        const auto blocks = [&](std::size_t w) { return w != skip && s.crosses(walls_[w]); };
        if (!indexed) {
            for (std::size_t w = 0; w < walls_.size(); ++w)
                if (blocks(w)) return true;
            return false;
        }
        bool blocked = false;
        wallGrid.query(NetworkGraph::boxOf(s, NetworkGraph::kNear), [&](std::uint32_t w) {
            blocked = blocks(w);
            return !blocked;
        });
        return blocked;
    };
    std::vector<int> near;
    const auto vertexInside = [&](const Segment& s, std::size_t q) {
        graph_.verticesNear(NetworkGraph::boxOf(s, NetworkGraph::kNear), near);
        for (const int i : near) {
            const auto f = static_cast<std::size_t>(i);
            const Vec2 p = vertices[f].point();
            if (f != q && NetworkGraph::liesOn(p, s) && p != s.end()) return true;
        }
        return false;
    };

    std::vector<Segment> candidates;
    for (std::size_t q = 0; q < vertices.size(); ++q) {
        stopIfCancelled();
        const Vec2 from = vertices[q].point();
        for (std::size_t r = 0; r < walls_.size(); ++r) {
            // A foot beyond either end of the wall, by more than rounding, makes the cut end at
            // that end, which the perpendicular test below rejects: skip the costly part.
            if (indexed && surelyBeyondEnds(from, walls_[r])) continue;
            const Segment out = walls_[r].closestFrom(from, 0.0);
            if (out.length() == 0.0) continue;  // q lies on the wall
            // Not a foot inside the wall but one of its ends.
            if (std::abs(out.direction.dot(walls_[r].direction)) > kPerpendicular) continue;
            // The remaining tests only discard; the cheapest goes first.
            if (crossesWallOtherThan(out, r)) continue;
            if (vertexInside(out, q)) continue;
            const int end = graph_.findVertex(out.end());
            if (end >= 0 && graph_.findEdge(static_cast<int>(q), end) >= 0) continue;
            candidates.push_back(out);
        }
    }

    // Of two crossing cuts the shorter one stays; equal ones both go.
    std::vector<double> length(candidates.size());
    for (std::size_t i = 0; i < candidates.size(); ++i) length[i] = candidates[i].length();
    const auto losesTo = [&](std::size_t i, std::size_t j) {
        return j != i && length[j] <= length[i] && candidates[i].crosses(candidates[j]);
    };
    UniformGrid cutGrid;
    if (indexed) cutGrid.build(boxesOf(candidates), cellSize_, kMaxCellsPerAxis);
    std::vector<bool> keep(candidates.size(), true);
    for (std::size_t i = 0; i < candidates.size(); ++i, stopIfCancelled()) {
        if (!indexed) {
            for (std::size_t j = 0; j < candidates.size() && keep[i]; ++j)
                if (losesTo(i, j)) keep[i] = false;
            continue;
        }
        cutGrid.query(NetworkGraph::boxOf(candidates[i], NetworkGraph::kNear),
                      [&](std::uint32_t j) {
                          if (losesTo(i, j)) keep[i] = false;
                          return bool(keep[i]);
                      });
    }

    for (std::size_t i = 0; i < candidates.size(); ++i)
        if (keep[i]) graph_.addSegment(candidates[i], EdgeKind::CutEdge);
}

void SpatialNetworkBuilder::triangulate() {
    Triangulation cdt;
    for (const NetworkEdge& e : graph_.edges()) {
        stopIfCancelled();
        cdt.insert_constraint(toCgal(graph_.point(e.vertexA)), toCgal(graph_.point(e.vertexB)));
    }

    std::vector<int> near;
    for (auto face = cdt.finite_faces_begin(); face != cdt.finite_faces_end(); ++face) {
        stopIfCancelled();
        std::array<int, 3> corner{};
        bool known = true;
        for (int k = 0; k < 3 && known; ++k) {
            const Kernel::Point_2& p = face->vertex(k)->point();
            corner[static_cast<std::size_t>(k)] = graph_.findVertex({p.x(), p.y()});
            known = corner[static_cast<std::size_t>(k)] >= 0;
        }
        if (!known) continue;

        const std::array<Vec2, 3> at{graph_.point(corner[0]), graph_.point(corner[1]),
                                     graph_.point(corner[2])};
        Polygon triangle({at[0], at[1], at[2]});
        bool blocked = false;
        const std::vector<NetworkVertex>& vertices = graph_.vertices();
        graph_.verticesNear(reachOfContains(at), near);
        for (std::size_t n = 0; n < near.size() && !blocked; ++n) {
            const int vi = near[n];
            const NetworkVertex& v = vertices[static_cast<std::size_t>(vi)];
            blocked = vi != corner[0] && vi != corner[1] && vi != corner[2] &&
                      triangle.contains(v.x, v.y);
        }
        for (std::size_t k = 0; k < 3 && !blocked; ++k) {
            const Segment side = Segment::fromPoints(at[k], at[(k + 1) % 3]);
            graph_.edgesNear(NetworkGraph::boxOf(side, NetworkGraph::kNear), near);
            for (const int e : near)
                if (graph_.segment(graph_.edge(e)).crosses(side)) {
                    blocked = true;
                    break;
                }
        }
        if (blocked) continue;

        const int index = static_cast<int>(polygons_.size());
        NetworkPolygon polygon{std::move(triangle), -1, {}};
        for (std::size_t k = 0; k < 3; ++k) {
            const int e =
                graph_.findOrAddEdge(EdgeKind::TriangleEdge, corner[k], corner[(k + 1) % 3]);
            NetworkEdge& edge = graph_.edge(e);
            (edge.polygonA == -1 ? edge.polygonA : edge.polygonB) = index;
            polygon.edges.push_back(e);
        }
        polygons_.push_back(std::move(polygon));
    }
}

int SpatialNetworkBuilder::root(int polygon) const {
    while (polygon >= 0 && polygons_[static_cast<std::size_t>(polygon)].mergedInto >= 0)
        polygon = polygons_[static_cast<std::size_t>(polygon)].mergedInto;
    return polygon;
}

void SpatialNetworkBuilder::mergeTriangles() {
    out_ << kMergeText;
    const std::vector<NetworkEdge>& edges = graph_.edges();
    std::vector<double> length(edges.size());
    for (std::size_t i = 0; i < edges.size(); ++i) length[i] = graph_.segment(edges[i]).length();
    std::vector<int> order(edges.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return length[static_cast<std::size_t>(a)] > length[static_cast<std::size_t>(b)];
    });

    for (const int e : order) {
        stopIfCancelled();
        const NetworkEdge& edge = graph_.edge(e);
        if (edge.kind != EdgeKind::TriangleEdge) continue;
        const int a = root(edge.polygonA);
        const int b = root(edge.polygonB);
        if (a < 0 || b < 0) continue;
        const NetworkPolygon& pa = polygons_[static_cast<std::size_t>(a)];
        const NetworkPolygon& pb = polygons_[static_cast<std::size_t>(b)];
        std::optional<Polygon> joined = pa.shape.mergeIfConvex(pb.shape);
        if (!joined) continue;
        NetworkPolygon merged{std::move(*joined), -1, {}};
        for (const int side : pa.edges)
            if (side != e) merged.edges.push_back(side);
        for (const int side : pb.edges)
            if (side != e) merged.edges.push_back(side);
        const int index = static_cast<int>(polygons_.size());
        polygons_.push_back(std::move(merged));  // invalidates pa and pb
        polygons_[static_cast<std::size_t>(a)].mergedInto = index;
        polygons_[static_cast<std::size_t>(b)].mergedInto = index;
    }
}

void SpatialNetworkBuilder::writeGraphImage() {
    char name[32];
    std::snprintf(name, sizeof name, "Images/%04d.png", imageCounter_);
    ++imageCounter_;
    if (images_ != nullptr) images_->write(name, NetworkCanvas::graphImage(graph_));
}

void SpatialNetworkBuilder::writePolygonImage() {
    if (images_ == nullptr) return;
    std::vector<Polygon> shapes;
    for (const NetworkPolygon& p : polygons_)
        if (p.mergedInto == -1) shapes.push_back(p.shape);
    images_->write(kPolygonImageName, NetworkCanvas::polygonImage(graph_, shapes));
}

SubareaList SpatialNetworkBuilder::generate(double minBorderLength) const {
    SubareaList subareas;
    std::vector<std::size_t> position(polygons_.size());
    for (std::size_t p = 0; p < polygons_.size(); ++p) {
        if (polygons_[p].mergedInto != -1) continue;
        position[p] = subareas.size();
        subareas.emplace_back(static_cast<int>(p), polygons_[p].shape.corners());
    }
    for (const NetworkEdge& e : graph_.edges()) {
        if (e.kind == EdgeKind::WallEdge || e.polygonA == -1 || e.polygonB == -1) continue;
        const Segment border = graph_.segment(e);
        if (minBorderLength > 0.0 && border.length() < minBorderLength) continue;
        const int a = root(e.polygonA);
        const int b = root(e.polygonB);
        if (a == b) continue;
        subareas[position[static_cast<std::size_t>(a)]].addLink(b, border);
        subareas[position[static_cast<std::size_t>(b)]].addLink(a, border);
    }
    return subareas;
}

SubareaList SpatialNetworkBuilder::optimise(const SubareaList& subareas, Vec2 start) {
    const int first = indexAt(subareas, start.x, start.y);
    if (first < 0) return {};
    std::map<int, std::vector<std::size_t>> withId;
    for (std::size_t i = 0; i < subareas.size(); ++i) withId[subareas[i].id()].push_back(i);

    std::vector<bool> reached(subareas.size(), false);
    std::vector<std::size_t> stack{static_cast<std::size_t>(first)};
    reached[static_cast<std::size_t>(first)] = true;
    while (!stack.empty()) {
        const std::size_t current = stack.back();
        stack.pop_back();
        for (const SubareaLink& link : subareas[current].links()) {
            const auto found = withId.find(link.neighbourId);
            if (found == withId.end()) continue;
            for (const std::size_t next : found->second) {
                if (reached[next]) continue;
                reached[next] = true;
                stack.push_back(next);
            }
        }
    }

    SubareaList kept;
    for (std::size_t i = 0; i < subareas.size(); ++i)
        if (reached[i]) kept.push_back(subareas[i]);
    return kept;
}

SubareaList SpatialNetworkBuilder::subareasReachableFrom(Vec2 start) const {
    const SubareaList generated = generate(0.0);
    err_ << kGeneratedText << generated.size() << '\n';
    SubareaList optimised = optimise(generated, start);
    err_ << kOptimisedText << optimised.size() << '\n';
    return optimised;
}

SubareaList buildSpatialNetwork(const Environment& environment, std::ostream& err,
                                std::ostream& out, DebugImageSink* images, CancelCheck cancelled) {
    if (environment.entrances.empty()) return {};
    const SpatialNetworkBuilder builder(environment.walls, err, out, images, std::move(cancelled));
    return builder.subareasReachableFrom(environment.entrances.front().line.midpoint());
}

}  // namespace vostrel
