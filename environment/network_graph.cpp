#include "environment/network_graph.hpp"

namespace vostrel {

int NetworkGraph::findVertex(Vec2 p) const {
    for (std::size_t i = 0; i < vertices_.size(); ++i)
        if (sameVertex(vertices_[i].point(), p)) return static_cast<int>(i);
    return -1;
}

int NetworkGraph::findOrAddVertex(Vec2 p, bool cut) {
    if (const int found = findVertex(p); found >= 0) return found;
    vertices_.push_back({p.x, p.y, cut ? 1 : 0});
    const int v = static_cast<int>(vertices_.size()) - 1;
    // Only the edges that existed before: the pieces appended here end at v.
    splitEdgesAt(v, edges_.size());
    return v;
}

void NetworkGraph::splitEdgesAt(int v, std::size_t edgeCount) {
    const Vec2 p = point(v);
    for (std::size_t j = 0; j < edgeCount; ++j) {
        NetworkEdge& e = edges_[j];
        if (e.vertexA == v || e.vertexB == v || !liesOn(p, segment(e))) continue;
        const NetworkEdge piece{e.kind, e.vertexB, v, -1, -1};
        e.vertexB = v;
        edges_.push_back(piece);  // invalidates e
    }
}

int NetworkGraph::findEdge(int a, int b) const {
    for (std::size_t i = 0; i < edges_.size(); ++i) {
        const NetworkEdge& e = edges_[i];
        if ((e.vertexA == a && e.vertexB == b) || (e.vertexA == b && e.vertexB == a))
            return static_cast<int>(i);
    }
    return -1;
}

int NetworkGraph::findOrAddEdge(EdgeKind kind, int a, int b) {
    if (const int found = findEdge(a, b); found >= 0) return found;
    edges_.push_back({kind, a, b, -1, -1});
    const int added = static_cast<int>(edges_.size()) - 1;
    const Segment ab = Segment::fromPoints(point(a), point(b));
    // The list grows while we walk it: pieces split off here are checked too.
    for (std::size_t j = 0; j < edges_.size(); ++j) {
        const Segment other = segment(edges_[j]);
        if (other.crosses(ab)) findOrAddVertex(ab.intersectionPoint(other), kind == EdgeKind::CutEdge);
    }
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
    for (std::size_t v = 0; v < vertices_.size(); ++v) {
        const int vi = static_cast<int>(v);
        if (vi != a && vi != b && liesOn(point(vi), ab)) splitEdgesAt(vi, edges_.size());
    }
    return e;
}

}  // namespace vostrel
