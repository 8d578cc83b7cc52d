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
using Triangulation = CGAL::Constrained_Delaunay_triangulation_2<Kernel, CGAL::Default,
                                                                 CGAL::Exact_predicates_tag>;

Kernel::Point_2 toCgal(Vec2 p) { return {p.x, p.y}; }

}  // namespace

SpatialNetworkBuilder::SpatialNetworkBuilder(const Walls& walls, std::ostream& err,
                                             std::ostream& out, DebugImageSink* images,
                                             CancelCheck cancelled)
    : walls_(walls.all()), err_(err), out_(out), images_(images), cancelled_(std::move(cancelled)) {
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
    const auto crossesWallOtherThan = [&](const Segment& s, std::size_t skip) {
        for (std::size_t w = 0; w < walls_.size(); ++w)
            if (w != skip && s.crosses(walls_[w])) return true;
        return false;
    };
    const auto vertexInside = [&](const Segment& s, std::size_t q) {
        for (std::size_t f = 0; f < vertices.size(); ++f) {
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
    std::vector<bool> keep(candidates.size(), true);
    for (std::size_t i = 0; i < candidates.size(); ++i, stopIfCancelled())
        for (std::size_t j = 0; j < candidates.size() && keep[i]; ++j)
            if (j != i && candidates[j].length() <= candidates[i].length() &&
                candidates[i].crosses(candidates[j]))
                keep[i] = false;

    for (std::size_t i = 0; i < candidates.size(); ++i)
        if (keep[i]) graph_.addSegment(candidates[i], EdgeKind::CutEdge);
}

void SpatialNetworkBuilder::triangulate() {
    Triangulation cdt;
    for (const NetworkEdge& e : graph_.edges()) {
        stopIfCancelled();
        cdt.insert_constraint(toCgal(graph_.point(e.vertexA)), toCgal(graph_.point(e.vertexB)));
    }

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
        for (std::size_t v = 0; v < vertices.size() && !blocked; ++v) {
            const int vi = static_cast<int>(v);
            blocked = vi != corner[0] && vi != corner[1] && vi != corner[2] &&
                      triangle.contains(vertices[v].x, vertices[v].y);
        }
        for (std::size_t k = 0; k < 3 && !blocked; ++k) {
            const Segment side = Segment::fromPoints(at[k], at[(k + 1) % 3]);
            for (const NetworkEdge& e : graph_.edges())
                if (graph_.segment(e).crosses(side)) { blocked = true; break; }
        }
        if (blocked) continue;

        const int index = static_cast<int>(polygons_.size());
        NetworkPolygon polygon{std::move(triangle), -1, {}};
        for (std::size_t k = 0; k < 3; ++k) {
            const int e = graph_.findOrAddEdge(EdgeKind::TriangleEdge, corner[k], corner[(k + 1) % 3]);
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
                                std::ostream& out, DebugImageSink* images,
                                CancelCheck cancelled) {
    if (environment.entrances.empty()) return {};
    const SpatialNetworkBuilder builder(environment.walls, err, out, images, std::move(cancelled));
    return builder.subareasReachableFrom(environment.entrances.front().line.midpoint());
}

}  // namespace vostrel
