#include "environment/spatial_network_builder.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <utility>

#include "bench/spatial/office_floor.hpp"
#include "environment/field_data.hpp"
#include "tests/spatial/network_invariants.hpp"

namespace vostrel {
namespace {

using test::soundNetwork;

Environment load(const std::string& text) {
    std::ostringstream loaderOutput;
    const FieldData field = FieldData::fromText(text, loaderOutput);
    EXPECT_TRUE(field.ok()) << loaderOutput.str();
    return field.environment();
}

struct Built {
    SubareaList subareas;
    std::string err, out;
};

Built build(const Environment& env, DebugImageSink* images = nullptr) {
    std::ostringstream err, out;
    SubareaList subareas = buildSpatialNetwork(env, err, out, images);
    return {std::move(subareas), err.str(), out.str()};
}

const Subarea* containing(const SubareaList& list, double x, double y) {
    const int i = indexAt(list, x, y);
    return i < 0 ? nullptr : &list[static_cast<std::size_t>(i)];
}

TEST(SpatialNetwork, RectangularRoomIsOneSubarea) {
    const Environment env =
        load("Walls { 0,0,10,0; 10,0,10,6; 10,6,0,6; 0,6,0,0; }\nEntrance { 1, 2,2,2,4, 5,1; }\n");
    const Built b = build(env);
    EXPECT_EQ(b.err,
              "\nStart to build spatial network.\n"
              "\nNumber of generated Subareas = 1\n"
              "Number of optimised Subareas = 1\n");
    EXPECT_EQ(b.out, "\nTriangules are merged into convex polygons.\n");
    ASSERT_EQ(b.subareas.size(), 1u);
    EXPECT_EQ(b.subareas[0].id(), 2);
    EXPECT_TRUE(b.subareas[0].links().empty());
    EXPECT_TRUE(soundNetwork(b.subareas, env.walls, 60.0));
}

TEST(SpatialNetwork, LShapedCorridorIsCutAtTheInnerCorner) {
    const Environment env = load(
        "Walls { 0,0,10,0; 10,0,10,10; 10,10,8,10; 8,10,8,2; 8,2,0,2; 0,2,0,0; }\n"
        "Entrance { 1, 1,0.5,1,1.5, 5,1; }\n");
    std::ostringstream err, out;
    const SpatialNetworkBuilder builder(env.walls, err, out);
    const NetworkGraph& g = builder.graph();
    const int corner = g.findVertex({8, 2});
    int cuts = 0;
    for (const NetworkEdge& e : g.edges()) {
        if (e.kind != EdgeKind::CutEdge) continue;
        ++cuts;
        ASSERT_TRUE(e.vertexA == corner || e.vertexB == corner);
        const int foot = e.vertexA == corner ? e.vertexB : e.vertexA;
        EXPECT_TRUE(g.point(foot) == (Vec2{8, 0}) || g.point(foot) == (Vec2{10, 2}));
        EXPECT_EQ(g.vertices()[static_cast<std::size_t>(foot)].cut, 1);
    }
    EXPECT_EQ(cuts, 2);

    const SubareaList all = builder.subareasReachableFrom({1, 1});
    ASSERT_EQ(all.size(), 3u);
    EXPECT_TRUE(soundNetwork(all, env.walls, 36.0));
    const Subarea* arm = containing(all, 4, 1);
    const Subarea* bend = containing(all, 9, 1);
    const Subarea* leg = containing(all, 9, 6);
    ASSERT_TRUE(arm && bend && leg);
    EXPECT_EQ(arm->borderWith(bend->id()).length(), 2.0);
    EXPECT_EQ(bend->borderWith(leg->id()).length(), 2.0);
    EXPECT_FALSE(arm->isNeighbour(leg->id()));
    // The triangles outside the L were generated, then dropped.
    EXPECT_NE(err.str().find("\nNumber of generated Subareas = 4\n"), std::string::npos)
        << err.str();
}

TEST(SpatialNetwork, FreeStandingWallIsPassedAroundItsEnds) {
    const Environment env = load(
        "Walls { 0,0,10,0; 10,0,10,6; 10,6,0,6; 0,6,0,0; 3,3,7,3; }\n"
        "Entrance { 1, 1,1,1,2, 5,1; }\n");
    const Built b = build(env);
    EXPECT_TRUE(soundNetwork(b.subareas, env.walls, 60.0));
    // Cuts from both ends of the wall to all four room walls make six subareas.
    ASSERT_EQ(b.subareas.size(), 6u);
    const Subarea* below = containing(b.subareas, 5, 1);
    const Subarea* above = containing(b.subareas, 5, 5);
    ASSERT_TRUE(below && above);
    EXPECT_FALSE(below->isNeighbour(above->id()));
    EXPECT_FALSE(above->isNeighbour(below->id()));
    for (const double x : {1.0, 9.0}) {
        const Subarea* low = containing(b.subareas, x, 1);
        const Subarea* high = containing(b.subareas, x, 5);
        ASSERT_TRUE(low && high);
        EXPECT_TRUE(below->isNeighbour(low->id()));
        EXPECT_TRUE(low->isNeighbour(high->id()));
        EXPECT_TRUE(high->isNeighbour(above->id()));
    }
}

TEST(SpatialNetwork, ClosedRoomAndOutsideAreDropped) {
    const Environment env = load(
        "Walls { 0,0,16,0; 16,0,16,6; 16,6,0,6; 0,6,0,0; 10,0,10,6; }\n"
        "Entrance { 1, 2,2,2,4, 5,1; }\n");
    const Built b = build(env);
    EXPECT_TRUE(soundNetwork(b.subareas, env.walls, 60.0));
    EXPECT_EQ(containing(b.subareas, 13, 3), nullptr);
    EXPECT_NE(b.err.find("\nNumber of generated Subareas = 2\nNumber of optimised Subareas = 1\n"),
              std::string::npos)
        << b.err;

    std::ostringstream err, out;
    const SpatialNetworkBuilder builder(env.walls, err, out);
    const SubareaList generated = builder.generate(0.0);
    EXPECT_TRUE(SpatialNetworkBuilder::optimise(generated, {20, 3}).empty());
    // Ids stay those of the generated list.
    const SubareaList fromClosed = SpatialNetworkBuilder::optimise(generated, {13, 3});
    ASSERT_EQ(fromClosed.size(), 1u);
    EXPECT_EQ(fromClosed[0].id(), idAt(generated, 13, 3));
}

TEST(SpatialNetwork, NoEntranceBuildsNothing) {
    const Environment env = load("Walls { 0,0,10,0; 10,0,10,6; 10,6,0,6; 0,6,0,0; }\n");
    struct CountingSink : DebugImageSink {
        int written = 0;
        void write(const std::string&, const DebugImage&) override { ++written; }
    } sink;
    const Built b = build(env, &sink);
    EXPECT_TRUE(b.subareas.empty());
    EXPECT_EQ(b.err, "");
    EXPECT_EQ(b.out, "");
    EXPECT_EQ(sink.written, 0);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(SpatialNetwork, BundledOfficeSample) {
    const std::string text = readFile(std::string(VOSTREL_SOURCE_DIR) + "/examples/office.txt");
    ASSERT_FALSE(text.empty());
    const Environment env = load(text);
    const Built b = build(env);
    EXPECT_TRUE(soundNetwork(b.subareas, env.walls, 24.0 * 12.0));
    // Every desk and the coffee point lie in the network.
    for (Vec2 p : {Vec2{4, 9}, Vec2{12, 10.5}, Vec2{20, 9}, Vec2{22.5, 2}, Vec2{12, 6}})
        EXPECT_NE(containing(b.subareas, p.x, p.y), nullptr) << p.x << ", " << p.y;
}

// The other samples: the free area is the floor minus the pillars, the ticket machines and the
// tables, and every destination people walk to lies inside the network.
TEST(SpatialNetwork, BundledStationAndCafeteriaSamples) {
    struct Sample {
        const char* file;
        double freeArea;
    };
    for (const Sample& sample : {Sample{"station.txt", 800.0 - 4.0 - 4.8},
                                 Sample{"cafeteria.txt", 280.0 - 6 * 1.2 * 0.8}}) {
        const Environment env =
            load(readFile(std::string(VOSTREL_SOURCE_DIR) + "/examples/" + sample.file));
        const Built b = build(env);
        EXPECT_TRUE(soundNetwork(b.subareas, env.walls, sample.freeArea)) << sample.file;
        std::vector<Vec2> targets;
        for (const auto& e : env.exits.items()) targets.push_back(e.position());
        for (const auto& p : env.points.items()) targets.push_back(p.position());
        for (const auto& q : env.seats.items()) targets.push_back(q.position());
        for (const auto& q : env.queues.items()) targets.push_back(q.position());
        for (Vec2 p : targets)
            EXPECT_NE(containing(b.subareas, p.x, p.y), nullptr)
                << sample.file << ": " << p.x << ", " << p.y;
    }
}

TEST(SpatialNetwork, WallOrderDoesNotOpenWalls) {
    // The room partitions first, so that their ends lie on walls not yet loaded.
    std::string text = readFile(std::string(VOSTREL_SOURCE_DIR) + "/examples/office.txt");
    const std::string partitions = "  8.0, 4.0, 8.0, 12.0;\n  16.0, 4.0, 16.0, 12.0;\n";
    const std::size_t at = text.find(partitions);
    ASSERT_NE(at, std::string::npos);
    text.erase(at, partitions.size());
    text.insert(text.find("Walls {") + 8, partitions);
    const Environment env = load(text);
    const Built b = build(env);
    EXPECT_TRUE(soundNetwork(b.subareas, env.walls, 24.0 * 12.0));
}

TEST(SpatialNetwork, GeneratedOfficeFloor) {
    const Walls walls = officeFloor(4, 2);
    std::ostringstream err, out;
    const SpatialNetworkBuilder builder(walls, err, out);
    const SubareaList subareas = builder.subareasReachableFrom({1, 1});
    EXPECT_TRUE(soundNetwork(subareas, walls, 18.0 * 24.0));
    // Every room is reached through its door.
    for (int i = 0; i < 4; ++i)
        for (double y : {2.5, 9.5, 14.5, 21.5})
            EXPECT_NE(containing(subareas, 4.0 + 4.0 * i, y), nullptr) << i << ", " << y;
}

}  // namespace
}  // namespace vostrel
