// The indexed network build against the plain one: the same graph, vertex for vertex and edge
// for edge, the same polygons and the same subareas, on the samples, generated floors and
// thousands of seeded random wall sets.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>

#include "bench/spatial/office_floor.hpp"
#include "environment/field_data.hpp"
#include "environment/spatial_network_builder.hpp"
#include "tests/seeded_draw.hpp"

namespace vostrel {
namespace {

// Bit for bit: a crossing of nearly parallel walls can make a vertex that is not a number.
bool same(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}
bool same(Vec2 a, Vec2 b) {
    return same(a.x, b.x) && same(a.y, b.y);
}
bool same(const std::vector<Vec2>& a, const std::vector<Vec2>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](Vec2 p, Vec2 q) { return same(p, q); });
}

bool sameGraph(const NetworkGraph& a, const NetworkGraph& b) {
    if (a.vertices().size() != b.vertices().size() || a.edges().size() != b.edges().size())
        return false;
    for (std::size_t i = 0; i < a.vertices().size(); ++i) {
        const NetworkVertex& p = a.vertices()[i];
        const NetworkVertex& q = b.vertices()[i];
        if (!same(p.point(), q.point()) || p.cut != q.cut) return false;
    }
    for (std::size_t i = 0; i < a.edges().size(); ++i) {
        const NetworkEdge& e = a.edges()[i];
        const NetworkEdge& f = b.edges()[i];
        if (e.kind != f.kind || e.vertexA != f.vertexA || e.vertexB != f.vertexB ||
            e.polygonA != f.polygonA || e.polygonB != f.polygonB)
            return false;
    }
    return true;
}

bool samePolygons(const SpatialNetworkBuilder& a, const SpatialNetworkBuilder& b) {
    if (a.polygons().size() != b.polygons().size()) return false;
    for (std::size_t i = 0; i < a.polygons().size(); ++i) {
        const NetworkPolygon& p = a.polygons()[i];
        const NetworkPolygon& q = b.polygons()[i];
        if (p.mergedInto != q.mergedInto || p.edges != q.edges ||
            !same(p.shape.corners(), q.shape.corners()))
            return false;
    }
    return true;
}

bool sameSubareas(const SubareaList& a, const SubareaList& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].id() != b[i].id() || !same(a[i].corners(), b[i].corners()) ||
            a[i].links().size() != b[i].links().size())
            return false;
        for (std::size_t k = 0; k < a[i].links().size(); ++k)
            if (a[i].links()[k].neighbourId != b[i].links()[k].neighbourId ||
                !same(a[i].links()[k].border.origin, b[i].links()[k].border.origin) ||
                !same(a[i].links()[k].border.direction, b[i].links()[k].border.direction))
                return false;
    }
    return true;
}

// What one build gives, or the error it stopped with.
struct Outcome {
    std::ostringstream err, out;  // the builder writes here, also after construction
    std::optional<SpatialNetworkBuilder> builder;
    std::string error;

    Outcome(const Walls& walls, bool indexed) {
        try {
            builder.emplace(walls, err, out, nullptr, CancelCheck{}, indexed);
        } catch (const std::exception& e) {
            // Checked builds of the triangulation library refuse a vertex that is not a number.
            error = e.what();
        }
    }
};

// Builds both ways; describes the first difference, empty when there is none.
std::string compare(const Walls& walls, Vec2 start) {
    Outcome plain(walls, false);
    Outcome indexed(walls, true);
    if (plain.error != indexed.error) return "error: " + plain.error + " / " + indexed.error;
    if (!plain.builder) return {};
    if (!sameGraph(plain.builder->graph(), indexed.builder->graph())) return "graph";
    if (!samePolygons(*plain.builder, *indexed.builder)) return "polygons";
    if (!sameSubareas(plain.builder->subareasReachableFrom(start),
                      indexed.builder->subareasReachableFrom(start)))
        return "subareas";
    if (plain.err.str() != indexed.err.str() || plain.out.str() != indexed.out.str())
        return "console";
    return {};
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(NetworkIndex, SamplesAndOfficeFloorsBuildTheSameNetwork) {
    for (const char* name : {"office.txt", "station.txt", "cafeteria.txt"}) {
        std::ostringstream log;
        const FieldData field = FieldData::fromText(
            readFile(std::string(VOSTREL_SOURCE_DIR) + "/examples/" + name), log);
        ASSERT_TRUE(field.ok()) << name;
        const Environment& env = field.environment();
        EXPECT_EQ(compare(env.walls, env.entrances.front().line.midpoint()), "") << name;
    }
    for (const auto& [rooms, bands] : {std::pair{3, 1}, {5, 2}, {8, 3}})
        EXPECT_EQ(compare(officeFloor(rooms, bands), {1, 1}), "") << rooms << "x" << bands;
}

// Free segments that cross, touch, share ends and lie on each other: every splitting rule.
TEST(NetworkIndex, RandomWallSetsBuildTheSameNetwork) {
    test::SeededDraw draw(20261208);
    for (int round = 0; round < 1500; ++round) {
        Walls walls;
        const double size = draw.uniform(2.0, 40.0);
        const int count = 3 + draw.below(18);
        std::vector<Vec2> ends;
        for (int w = 0; w < count; ++w) {
            // Reuse earlier ends and mostly snap to a coarse lattice, so that walls meet at
            // corners and run along each other as in real floor plans. (Mostly: many freely
            // placed walls crossing at near-degenerate points can make the triangulation
            // library itself fail, in either build.)
            const auto end = [&] {
                if (!ends.empty() && draw.below(3) == 0) return ends[draw.below(ends.size())];
                Vec2 p = draw.point(size);
                if (draw.below(4) != 0) p = {std::round(p.x), std::round(p.y)};
                ends.push_back(p);
                return p;
            };
            const Vec2 a = end();
            const Vec2 b = end();
            if (a != b) walls.add(Segment::fromPoints(a, b));
        }
        ASSERT_EQ(compare(walls, draw.point(size)), "") << "round " << round;
    }
}

}  // namespace
}  // namespace vostrel
