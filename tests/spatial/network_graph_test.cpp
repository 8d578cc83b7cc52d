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

// Undirected edges as point pairs, so that graphs built in different orders can be compared.
std::set<std::pair<std::pair<double, double>, std::pair<double, double>>> edgeSet(
    const NetworkGraph& g) {
    std::set<std::pair<std::pair<double, double>, std::pair<double, double>>> out;
    for (const NetworkEdge& e : g.edges()) {
        std::pair a{g.point(e.vertexA).x, g.point(e.vertexA).y};
        std::pair b{g.point(e.vertexB).x, g.point(e.vertexB).y};
        out.insert(a < b ? std::pair{a, b} : std::pair{b, a});
    }
    return out;
}

TEST(NetworkGraph, CrossingWallsMeetAtOneNewVertex) {
    NetworkGraph g;
    g.addSegment(seg(0, 0, 4, 4), EdgeKind::WallEdge);
    g.addSegment(seg(0, 4, 4, 0), EdgeKind::WallEdge);
    ASSERT_EQ(g.vertices().size(), 5u);
    ASSERT_EQ(g.edges().size(), 4u);
    EXPECT_EQ(g.point(4), (Vec2{2, 2}));
    EXPECT_EQ(g.vertices()[4].cut, 0);
    std::set<int> farEnds;
    for (const NetworkEdge& e : g.edges()) {
        EXPECT_EQ(e.kind, EdgeKind::WallEdge);
        ASSERT_TRUE(e.vertexA == 4 || e.vertexB == 4);
        farEnds.insert(e.vertexA == 4 ? e.vertexB : e.vertexA);
    }
    EXPECT_EQ(farEnds, (std::set<int>{0, 1, 2, 3}));

    // A cut crossing them makes its crossing vertices cut vertices.
    g.addSegment(seg(1, 0, 1, 4), EdgeKind::CutEdge);
    EXPECT_EQ(g.vertices().size(), 9u);
    EXPECT_EQ(g.vertices()[g.findVertex({1, 1})].cut, 1);
    EXPECT_EQ(g.vertices()[g.findVertex({1, 3})].cut, 1);
    EXPECT_EQ(g.edges().size(), 4u + 2u + 3u);
}

TEST(NetworkGraph, WallEndingOnAnotherSplitsItInEitherOrder) {
    NetworkGraph wallFirst;
    wallFirst.addSegment(seg(0, 0, 4, 0), EdgeKind::WallEdge);
    wallFirst.addSegment(seg(2, 0, 2, 3), EdgeKind::WallEdge);
    NetworkGraph stemFirst;
    stemFirst.addSegment(seg(2, 0, 2, 3), EdgeKind::WallEdge);
    stemFirst.addSegment(seg(0, 0, 4, 0), EdgeKind::WallEdge);
    EXPECT_EQ(wallFirst.edges().size(), 3u);
    EXPECT_EQ(edgeSet(wallFirst), edgeSet(stemFirst));

    // Three walls through one point: the last passes through the vertex the first two made.
    NetworkGraph star;
    star.addSegment(seg(0, 2, 4, 2), EdgeKind::WallEdge);
    star.addSegment(seg(2, 0, 2, 4), EdgeKind::WallEdge);
    star.addSegment(seg(0, 0, 4, 4), EdgeKind::WallEdge);
    EXPECT_EQ(star.vertices().size(), 7u);
    EXPECT_EQ(star.edges().size(), 6u);
    const int centre = star.findVertex({2, 2});
    for (const NetworkEdge& e : star.edges()) EXPECT_TRUE(e.vertexA == centre || e.vertexB == centre);
}

TEST(NetworkGraph, TolerancesAndLookups) {
    NetworkGraph g;
    const int a = g.findOrAddVertex({1, 1}, false);
    EXPECT_EQ(g.findOrAddVertex({1 + 5e-7, 1}, true), a);
    const int b = g.findOrAddVertex({1 + 2e-6, 1}, true);
    EXPECT_NE(b, a);
    EXPECT_EQ(g.vertices()[static_cast<std::size_t>(b)].cut, 1);

    const int c = g.findOrAddVertex({5, 1}, false);
    const int e = g.findOrAddEdge(EdgeKind::CutEdge, b, c);
    EXPECT_EQ(g.findOrAddEdge(EdgeKind::WallEdge, c, b), e);
    EXPECT_EQ(g.edge(e).kind, EdgeKind::CutEdge);

    // A vertex within the on-edge tolerance of an edge splits it; one just beyond does not.
    g.findOrAddVertex({3, 1 + 5e-7}, false);
    EXPECT_EQ(g.edges().size(), 2u);
    g.findOrAddVertex({4, 1 + 2e-6}, false);
    EXPECT_EQ(g.edges().size(), 2u);
}

TEST(NetworkGraph, DegenerateSegmentAddsNoEdge) {
    NetworkGraph g;
    EXPECT_EQ(g.addSegment(seg(1, 1, 1, 1), EdgeKind::WallEdge), -1);
    EXPECT_EQ(g.addSegment(seg(1, 1, 1 + 1e-7, 1), EdgeKind::WallEdge), -1);
    EXPECT_EQ(g.vertices().size(), 1u);
    EXPECT_TRUE(g.edges().empty());
}

TEST(NetworkGraph, RandomWallsLeaveNoCrossingEdges) {
    std::mt19937 rng(20240611);
    std::uniform_real_distribution<double> coord(0.0, 10.0);
    for (int round = 0; round < 20; ++round) {
        NetworkGraph g;
        for (int w = 0; w < 25; ++w)
            g.addSegment(seg(coord(rng), coord(rng), coord(rng), coord(rng)), EdgeKind::WallEdge);
        const auto& edges = g.edges();
        for (std::size_t i = 0; i < edges.size(); ++i) {
            ASSERT_NE(edges[i].vertexA, edges[i].vertexB);
            for (std::size_t j = i + 1; j < edges.size(); ++j)
                ASSERT_FALSE(g.segment(edges[i]).crosses(g.segment(edges[j])))
                    << "round " << round << ": edges " << i << " and " << j;
        }
    }
}

}  // namespace
}  // namespace vostrel
