// The neighbour and wall indexes of a step against the plain loops, bit for bit.
#include <bit>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <regex>

#include "environment/field_data.hpp"
#include "environment/spatial_network_builder.hpp"
#include "people/neighbour_grid.hpp"
#include "tests/people/people_fixture.hpp"

namespace vostrel::test {
namespace {

// Every field of every person, the seats, queues and populations as raw bits.
std::vector<std::uint64_t> bits(const RunState& state) {
    std::vector<std::uint64_t> out;
    const auto put = [&](double v) { out.push_back(std::bit_cast<std::uint64_t>(v)); };
    for (const Person& p : state.persons) {
        for (double v : {p.walkingRate, p.motion.direction.x, p.motion.direction.y,
                         p.motion.origin.x, p.motion.origin.y, p.dwellLeft})
            put(v);
        out.insert(out.end(), {std::uint64_t(p.id), std::uint64_t(p.action.kind),
                               std::uint64_t(p.action.targetIndex)});
        out.insert(out.end(), p.route.begin(), p.route.end());
    }
    for (const SeatState& s : state.seats)
        out.insert(out.end(), {std::uint64_t(s.occupied), std::uint64_t(s.occupant)});
    for (const auto& q : state.queues) out.insert(out.end(), q.begin(), q.end());
    for (const int n : state.populations) out.push_back(std::uint64_t(n));
    for (const double t : state.entranceCountdowns) put(t);
    out.push_back(state.random.state());
    return out;
}

// An environment file with every entrance admitting somebody about every `interval` seconds.
std::string crowded(const std::string& path, const std::string& interval) {
    std::ifstream in(path);
    std::string text{std::istreambuf_iterator<char>(in), {}};
    const auto begin = text.find("Entrance");
    const auto end = text.find('}', begin);
    const std::string block =
        std::regex_replace(text.substr(begin, end - begin),
                           std::regex(R"(,\s*[0-9.]+,\s*[0-9.]+;)"), ", " + interval + ", 0.05;");
    text.replace(begin, end - begin, block);
    const std::string out = ::testing::TempDir() + "crowded_" + std::to_string(text.size());
    std::ofstream(out) << text;
    return out;
}

// Two crowds on one environment, one on the indexes and one on the plain loops, each with its
// own sequence from the same seed; they must never differ by a bit.
void expectSameRuns(const std::string& file, int steps, std::size_t least) {
    std::ostringstream log;
    const FieldData field(file, log);
    World world{field.environment(), field.actionTable(), field.subareas()};
    if (world.subareas.empty())
        world.subareas = buildSpatialNetwork(field.environment(), log, log, nullptr);
    RunState a = startedIn(world, 99), b = startedIn(world, 99);
    Crowd fast(world, a, WalkingRates{1.33, 0.2}, log);
    Crowd plain(world, b, WalkingRates{1.33, 0.2}, log);
    plain.usePlainLoops(true);
    // A robot standing in the way, as the component adds one.
    a.robots.push_back({12.0, 5.0, 0.5});
    b.robots.push_back({12.0, 5.0, 0.5});
    std::size_t most = 0;
    for (int step = 1; step <= steps; ++step) {
        fast.step(0.1);
        plain.step(0.1);
        ASSERT_EQ(bits(a), bits(b)) << file << " step " << step;
        most = std::max(most, fast.persons().size());
    }
    EXPECT_GE(most, least) << file;
}

TEST(CrowdIndexes, StepsMatchThePlainLoops) {
    const std::string root = VOSTREL_SOURCE_DIR;
    expectSameRuns(root + "/tests/people/data/hall.txt", 1500, 10);
    expectSameRuns(crowded(root + "/tests/people/data/hall.txt", "0.4"), 600, 50);
    expectSameRuns(crowded(root + "/examples/station.txt", "0.3"), 500, 90);
    expectSameRuns(crowded(root + "/examples/office.txt", "0.3"), 600, 60);
}

class WallForceTest : public PeopleTest {};

// The nearest wall wins, the first in file order among equally near ones; the index must
// pick the same wall for every position, on walls, at corners and far away.
TEST_F(WallForceTest, MatchesThePlainLoopEverywhere) {
    const Vec2 corners[] = {{0, 0}, {10, 0}, {10, 6}, {0, 6}};
    for (int i = 0; i < 4; ++i)
        env.walls.add(Segment::fromPoints(corners[i], corners[(i + 1) % 4]));
    env.walls.add(Segment::fromPoints({5, 0}, {5, 2.5}));
    env.walls.add(Segment::fromPoints({5, 2.5}, {5, 0}));  // the same wall, later in the file
    env.walls.add(Segment::fromPoints({2, 4}, {3.3, 4.7}));
    areas.push_back(rect(0, 0, 0, 10, 6));
    const WalkingModel& fast = walking();
    WorldIndex plainIndex(world);
    plainIndex.usePlainLoops(true);
    const WalkingModel plain(plainIndex);
    std::mt19937_64 g(8);
    const auto u = [&](double lo, double hi) { return lo + (hi - lo) * ((g() >> 11) * 0x1p-53); };
    int pushed = 0;
    for (int i = 0; i < 20000; ++i) {
        // On a fine raster half the time, so that ties and exact contacts occur.
        Vec2 p{u(-1, 11), u(-1, 7)};
        if (i % 2 == 0) p = {std::round(p.x * 8) / 8, std::round(p.y * 8) / 8};
        const Vec2 a = fast.wallForce(p);
        const Vec2 b = plain.wallForce(p);
        ASSERT_EQ(std::bit_cast<std::uint64_t>(a.x), std::bit_cast<std::uint64_t>(b.x)) << i;
        ASSERT_EQ(std::bit_cast<std::uint64_t>(a.y), std::bit_cast<std::uint64_t>(b.y)) << i;
        pushed += a != Vec2{} ? 1 : 0;
    }
    EXPECT_GT(pushed, 3000);
    const Vec2 nan{std::numeric_limits<double>::quiet_NaN(), 1.0};
    EXPECT_EQ(std::isnan(fast.wallForce(nan).x), std::isnan(plain.wallForce(nan).x));
}

TEST(NeighbourGrid, OffersEveryPositionWithinReachInOrder) {
    std::mt19937_64 g(21);
    const auto u = [&](double lo, double hi) { return lo + (hi - lo) * ((g() >> 11) * 0x1p-53); };
    NeighbourGrid grid;
    for (const int n : {0, 1, 70, 300, 1000}) {
        std::vector<Vec2> points;
        grid.clear();
        for (int i = 0; i < n; ++i) {
            points.push_back(i % 97 == 5 ? Vec2{std::numeric_limits<double>::quiet_NaN(), 0.0}
                                         : Vec2{u(0, 40), u(0, 20)});
            grid.add(points.back());
        }
        grid.build();
        for (int q = 0; q < 500; ++q) {
            const Vec2 p{u(-10, 50), u(-10, 30)};
            const double reach = u(0, 9);
            const auto near = grid.near(p, reach);
            ASSERT_TRUE(std::is_sorted(near.begin(), near.end()));
            ASSERT_EQ(std::adjacent_find(near.begin(), near.end()), near.end());
            std::size_t k = 0;
            for (int i = 0; i < n; ++i) {
                const bool offered = k < near.size() && near[k] == std::uint32_t(i);
                if (offered) ++k;
                const double d = (points[std::size_t(i)] - p).length();
                if (d <= reach) {
                    ASSERT_TRUE(offered) << i << " at " << d;
                }
                if (std::isnan(d)) {
                    ASSERT_FALSE(offered) << i;
                }
            }
        }
    }
}

}  // namespace
}  // namespace vostrel::test
