#include "environment/network_graph.hpp"

#include <algorithm>
#include <numeric>

namespace vostrel {

namespace {

void everyIndex(std::size_t count, std::vector<int>& out) {
    out.resize(count);
    std::iota(out.begin(), out.end(), 0);
}

}  // namespace

void NetworkGraph::useIndex(const Box& bounds, double cellSize) {
    indexed_ = true;
    // Enough cells for the largest floors, few enough to keep the empty grid small.
    constexpr int kMaxCellsPerAxis = 1024;
    vertexGrid_ = GrowingGrid(bounds, cellSize, kMaxCellsPerAxis);
    edgeGrid_ = GrowingGrid(bounds, cellSize, kMaxCellsPerAxis);
}

Box NetworkGraph::boxOf(const Segment& s, double margin) {
    const Vec2 a = s.origin;
    const Vec2 b = s.end();
    return {std::min(a.x, b.x) - margin, std::min(a.y, b.y) - margin, std::max(a.x, b.x) + margin,
            std::max(a.y, b.y) + margin};
}

void NetworkGraph::verticesNear(const Box& box, std::vector<int>& out) const {
    if (indexed_) {
        vertexGrid_.collect(box, out);
    } else {
        everyIndex(vertices_.size(), out);
    }
}

void NetworkGraph::edgesNear(const Box& box, std::vector<int>& out) const {
    if (indexed_) {
        edgeGrid_.collect(box, out);
    } else {
        everyIndex(edges_.size(), out);
    }
}

int NetworkGraph::findVertex(Vec2 p) const {
    verticesNear(boxAround(p, kNear), near_);
    for (const int i : near_)
        if (sameVertex(point(i), p)) return i;
    return -1;
}

int NetworkGraph::findOrAddVertex(Vec2 p, bool cut) {
    if (const int found = findVertex(p); found >= 0) return found;
    vertices_.push_back({p.x, p.y, cut ? 1 : 0});
    const int v = static_cast<int>(vertices_.size()) - 1;
    if (indexed_) {
        vertexGrid_.insert(v, boxAround(p, 0.0));
        incident_.emplace_back();
    }
    // Only the edges that existed before: the pieces appended here end at v.
    splitEdgesAt(v, edges_.size());
    return v;
}

void NetworkGraph::splitEdgesAt(int v, std::size_t edgeCount) {
    const Vec2 p = point(v);
    std::vector<int> near;  // appendEdge below may reuse near_
    edgesNear(boxAround(p, kNear), near);
    for (const int j : near) {
        if (static_cast<std::size_t>(j) >= edgeCount) break;
        NetworkEdge& e = edges_[static_cast<std::size_t>(j)];
        if (e.vertexA == v || e.vertexB == v || !liesOn(p, segment(e))) continue;
        const NetworkEdge piece{e.kind, e.vertexB, v, -1, -1};
        if (indexed_) {
            detach(e.vertexB, j);
            incident_[static_cast<std::size_t>(v)].push_back(j);
        }
        e.vertexB = v;
        if (indexed_) fileEdge(j);
        appendEdge(piece);  // invalidates e
    }
}

int NetworkGraph::appendEdge(const NetworkEdge& e) {
    edges_.push_back(e);
    const int index = static_cast<int>(edges_.size()) - 1;
    if (indexed_) {
        incident_[static_cast<std::size_t>(e.vertexA)].push_back(index);
        incident_[static_cast<std::size_t>(e.vertexB)].push_back(index);
        fileEdge(index);
    }
    return index;
}

void NetworkGraph::fileEdge(int e) {
    edgeGrid_.insert(e, boxOf(segment(edge(e)), 0.0));
}

void NetworkGraph::detach(int vertex, int e) {
    std::vector<int>& list = incident_[static_cast<std::size_t>(vertex)];
    const auto found = std::find(list.begin(), list.end(), e);
    if (found != list.end()) list.erase(found);
}

int NetworkGraph::findEdge(int a, int b) const {
    const auto joins = [&](const NetworkEdge& e) {
        return (e.vertexA == a && e.vertexB == b) || (e.vertexA == b && e.vertexB == a);
    };
    if (indexed_) {
        int first = -1;
        for (const int i : incident_[static_cast<std::size_t>(a)])
            if (joins(edge(i)) && (first < 0 || i < first)) first = i;
        return first;
    }
    for (std::size_t i = 0; i < edges_.size(); ++i)
        if (joins(edges_[i])) return static_cast<int>(i);
    return -1;
}

int NetworkGraph::findOrAddEdge(EdgeKind kind, int a, int b) {
    if (const int found = findEdge(a, b); found >= 0) return found;
    const int added = appendEdge({kind, a, b, -1, -1});
    const Segment ab = Segment::fromPoints(point(a), point(b));
    const auto splitAtCrossing = [&](std::size_t j) {
        const Segment other = segment(edges_[j]);
        if (other.crosses(ab))
            findOrAddVertex(ab.intersectionPoint(other), kind == EdgeKind::CutEdge);
    };
    // The list grows while we walk it: pieces split off here are checked too. An edge is filed
    // again whenever a split moves one of its ends, so every edge that could cross ab is among
    // the ones near it now, and all pieces come after them.
    const std::size_t before = edges_.size();
    std::vector<int> near;
    edgesNear(boxOf(ab, kNear), near);
    for (const int j : near) splitAtCrossing(static_cast<std::size_t>(j));
    for (std::size_t j = before; j < edges_.size(); ++j) splitAtCrossing(j);
    return added;
}

int NetworkGraph::addSegment(const Segment& s, EdgeKind kind) {
    const bool cut = kind == EdgeKind::CutEdge;
    const int a = findOrAddVertex(s.origin, cut);
    const int b = findOrAddVertex(s.end(), cut);
    // A segment shorter than the vertex tolerance would be an edge from a vertex to itself.
    if (a == b) return -1;
    const int e = findOrAddEdge(kind, a, b);
    // A vertex made before this segment may lie on it (a wall ending on a later wall); split
    // here too, or the result would depend on the order of the walls in the file.
    const Segment ab = Segment::fromPoints(point(a), point(b));
    std::vector<int> near;
    verticesNear(boxOf(ab, kNear), near);
    for (const int vi : near)
        if (vi != a && vi != b && liesOn(point(vi), ab)) splitEdgesAt(vi, edges_.size());
    return e;
}

}  // namespace vostrel
