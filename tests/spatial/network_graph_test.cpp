#include "environment/network_graph.hpp"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <utility>

namespace vostrel {
namespace {

Segment seg(double x1, double y1, double x2, double y2) {
    return Segment::fromPoints({x1, y1}, {x2, y2});
}

using PointPair = std::pair<std::pair<double, double>, std::pair<double, double>>;

// Undirected edges as point pairs, to compare graphs built in different orders.
std::set<PointPair> edgeSet(const NetworkGraph& g) {
    std::set<PointPair> out;
    for (const NetworkEdge& e : g.edges()) {
        std::pair a{g.point(e.vertexA).x, g.point(e.vertexA).y};
        std::pair b{g.point(e.vertexB).x, g.point(e.vertexB).y};
        out.insert(a < b ? PointPair{a, b} : PointPair{b, a});
    }
    return out;
}

TEST(NetworkGraph, CrossingsBecomeVertices) {
    NetworkGraph g;
    g.addSegment(seg(0, 0, 4, 4), EdgeKind::WallEdge);
    g.addSegment(seg(0, 4, 4, 0), EdgeKind::WallEdge);
    ASSERT_EQ(g.vertices().size(), 5u);
    ASSERT_EQ(g.edges().size(), 4u);
    EXPECT_EQ(g.point(4), (Vec2{2, 2}));
    EXPECT_EQ(g.vertices()[4].cut, 0);
    for (const NetworkEdge& e : g.edges()) EXPECT_TRUE(e.vertexA == 4 || e.vertexB == 4);

    // Crossing vertices of a cut are cut vertices; the walls it splits keep their kind.
    g.addSegment(seg(1, 0, 1, 4), EdgeKind::CutEdge);
    EXPECT_EQ(g.vertices()[g.findVertex({1, 1})].cut, 1);
    EXPECT_EQ(g.vertices()[g.findVertex({1, 3})].cut, 1);
    EXPECT_EQ(g.edges().size(), 9u);
    EXPECT_EQ(g.edge(g.findEdge(g.findVertex({0, 0}), g.findVertex({1, 1}))).kind,
              EdgeKind::WallEdge);
}

TEST(NetworkGraph, WallEndingOnAnotherSplitsItInEitherOrder) {
    NetworkGraph wallFirst, stemFirst;
    wallFirst.addSegment(seg(0, 0, 4, 0), EdgeKind::WallEdge);
    wallFirst.addSegment(seg(2, 0, 2, 3), EdgeKind::WallEdge);
    stemFirst.addSegment(seg(2, 0, 2, 3), EdgeKind::WallEdge);
    stemFirst.addSegment(seg(0, 0, 4, 0), EdgeKind::WallEdge);
    EXPECT_EQ(wallFirst.edges().size(), 3u);
    EXPECT_EQ(edgeSet(wallFirst), edgeSet(stemFirst));

    // The third wall passes through the vertex where the first two cross.
    NetworkGraph star;
    star.addSegment(seg(0, 2, 4, 2), EdgeKind::WallEdge);
    star.addSegment(seg(2, 0, 2, 4), EdgeKind::WallEdge);
    star.addSegment(seg(0, 0, 4, 4), EdgeKind::WallEdge);
    EXPECT_EQ(star.edges().size(), 6u);
    const int centre = star.findVertex({2, 2});
    for (const NetworkEdge& e : star.edges())
        EXPECT_TRUE(e.vertexA == centre || e.vertexB == centre);
}

TEST(NetworkGraph, Tolerances) {
    NetworkGraph g;
    const int a = g.findOrAddVertex({1, 1}, false);
    EXPECT_EQ(g.findOrAddVertex({1 + 5e-7, 1}, true), a);
    const int b = g.findOrAddVertex({1 + 2e-6, 1}, true);
    ASSERT_NE(b, a);
    g.findOrAddEdge(EdgeKind::CutEdge, b, g.findOrAddVertex({5, 1}, false));
    g.findOrAddVertex({4, 1 + 2e-6}, false);  // beyond the on-edge tolerance
    EXPECT_EQ(g.edges().size(), 1u);
    g.findOrAddVertex({3, 1 + 5e-7}, false);
    EXPECT_EQ(g.edges().size(), 2u);

    // Shorter than the vertex tolerance: no edge from a vertex to itself.
    EXPECT_EQ(g.addSegment(seg(7, 7, 7 + 1e-7, 7), EdgeKind::WallEdge), -1);
    EXPECT_EQ(g.edges().size(), 2u);
}

TEST(NetworkGraph, RandomWallsLeaveNoCrossingEdges) {
    std::mt19937 rng(20240611);
    std::uniform_real_distribution<double> coord(0.0, 10.0);
    for (int round = 0; round < 20; ++round) {
        NetworkGraph g;
        for (int w = 0; w < 25; ++w)
            g.addSegment(seg(coord(rng), coord(rng), coord(rng), coord(rng)), EdgeKind::WallEdge);
        const auto& edges = g.edges();
        for (std::size_t i = 0; i < edges.size(); ++i)
            for (std::size_t j = i + 1; j < edges.size(); ++j)
                ASSERT_FALSE(g.segment(edges[i]).crosses(g.segment(edges[j]))) << round;
    }
}

}  // namespace
}  // namespace vostrel
