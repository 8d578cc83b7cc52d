// The neighbour and wall indexes of a step against the plain loops, bit for bit.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>
#include <numbers>
#include <random>
#include <regex>
#include <sstream>

#include "environment/field_data.hpp"
#include "environment/spatial_network_builder.hpp"
#include "people/crowd_threads.hpp"
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

// The parallel pass over the persons gives the same steps for every thread count.
TEST(CrowdIndexes, StepsMatchThePlainLoopsForEveryThreadCount) {
    const std::string root = VOSTREL_SOURCE_DIR;
    for (const int n : {1, 2, 3}) {
        const CrowdThreads threads(n);
        expectSameRuns(crowded(root + "/examples/station.txt", "0.3"), 300, 60);
    }
}

TEST(CrowdThreads, ASettingThatIsNoCountIsNamedAndTheCoresAreUsed) {
    std::ostringstream err;
    EXPECT_EQ(CrowdThreads::fromText("3", "vostrel.threads", err).count(), 3);
    EXPECT_EQ(CrowdThreads::fromText("", "vostrel.threads", err).count(),
              CrowdThreads::machineCores());
    EXPECT_EQ(err.str(), "");
    for (const char* bad : {"0", "two", "2x", "-1", "5000"}) {
        std::ostringstream e;
        EXPECT_EQ(CrowdThreads::fromText(bad, "vostrel.threads", e).count(),
                  CrowdThreads::machineCores());
        EXPECT_NE(e.str().find("vostrel.threads '" + std::string(bad) + "'"), std::string::npos)
            << e.str();
    }
}

class WallForceTest : public PeopleTest {
  protected:
    // Walls around (0, 0)-(w, h) and one subarea over it.
    void room(double w, double h) {
        const Vec2 corners[] = {{0, 0}, {w, 0}, {w, h}, {0, h}};
        for (int i = 0; i < 4; ++i)
            env.walls.add(Segment::fromPoints(corners[i], corners[(i + 1) % 4]));
        areas.push_back(rect(0, 0, 0, w, h));
    }
    // A walking model on the plain loops over the world as it is now.
    const WalkingModel& plain() {
        plainIndex_ = std::make_unique<WorldIndex>(world);
        plainIndex_->usePlainLoops(true);
        plain_ = std::make_unique<WalkingModel>(*plainIndex_);
        return *plain_;
    }

  private:
    std::unique_ptr<WorldIndex> plainIndex_;
    std::unique_ptr<WalkingModel> plain_;
};

// Steering through the indexes against the plain sums over thousands of random crowds: persons
// on the sight and slowing circles and cone edges, on top of each other and of the walker,
// behind walls, negative zeros, standing and odd velocities.
TEST_F(WallForceTest, SteeringMatchesThePlainLoopsForRandomCrowds) {
    room(20, 12);
    env.walls.add(Segment::fromPoints({8, 0}, {8, 5}));
    env.walls.add(Segment::fromPoints({12, 12}, {12, 7}));
    env.walls.add(Segment::fromPoints({3, 8}, {5, 9.5}));
    const WalkingModel& fast = walking();
    const WalkingModel& plainModel = plain();
    std::mt19937_64 g(31);
    const auto u = [&](double lo, double hi) { return lo + (hi - lo) * ((g() >> 11) * 0x1p-53); };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    NeighbourGrid grid;
    int moving = 0;
    for (int c = 0; c < 4000; ++c) {
        Person p;
        p.id = 1000;
        p.walkingRate = 1.3;
        p.setPosition({u(0.5, 19.5), u(0.5, 11.5)});
        const double angle = u(0, 2 * std::numbers::pi);
        const Vec2 velocities[] = {{std::cos(angle), std::sin(angle)},
                                   {0, 0},
                                   {-0.0, -0.0},
                                   {1e-320, 0},
                                   {nan, 1},
                                   {1, 0},
                                   {0, -1}};
        p.setVelocity(velocities[c % 10 < 4 ? 0 : c % 7] * u(0.1, 1.5));
        const Vec2 heading = p.velocity().normalised();
        std::vector<Predicted> predicted;
        const int n = int(g() % 60);
        for (int i = 0; i < n; ++i) {
            const Vec2 at = p.position();
            const double r = std::array{7.5, 2.0, 0.0, u(0, 9), u(0, 3)}[g() % 5];
            double a = u(-std::numbers::pi, std::numbers::pi);
            // On the edges of the sight cone half the time.
            if (g() % 2 == 0)
                a = std::atan2(heading.y, heading.x) + (g() % 2 ? 1 : -1) * std::numbers::pi / 3;
            Vec2 q{at.x + r * std::cos(a), at.y + r * std::sin(a)};
            if (g() % 9 == 0) q = {-0.0, -0.0};
            if (g() % 97 == 0) q = {nan, 1.0};
            const std::int32_t id = g() % 13 == 0 ? p.id : std::int32_t(i);
            predicted.push_back({id, q});
        }
        grid.clear();
        for (const Predicted& q : predicted) grid.add(q.position);
        grid.build();
        std::vector<Pose2D> robots;
        if (g() % 3 == 0) robots.push_back({u(0, 20), u(0, 12), 0.0});
        const Vec2 a = fast.steer(p, state, Snapshot{predicted, robots, &grid});
        const Vec2 b = plainModel.steer(p, state, Snapshot{predicted, robots, nullptr});
        ASSERT_EQ(std::bit_cast<std::uint64_t>(a.x), std::bit_cast<std::uint64_t>(b.x)) << c;
        ASSERT_EQ(std::bit_cast<std::uint64_t>(a.y), std::bit_cast<std::uint64_t>(b.y)) << c;
        moving += a != Vec2{} ? 1 : 0;
    }
    EXPECT_GT(moving, 1000);
}

// The nearest wall wins, the first in file order among equally near ones; the index must
// pick the same wall for every position, on walls, at corners and far away.
TEST_F(WallForceTest, MatchesThePlainLoopEverywhere) {
    room(10, 6);
    env.walls.add(Segment::fromPoints({5, 0}, {5, 2.5}));
    env.walls.add(Segment::fromPoints({5, 2.5}, {5, 0}));  // the same wall, later in the file
    env.walls.add(Segment::fromPoints({2, 4}, {3.3, 4.7}));
    const WalkingModel& fast = walking();
    const WalkingModel& plain = this->plain();
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

// Positions too far apart for cells, infinite ones and a query from nowhere.
TEST(NeighbourGrid, OddPositionsAndQueries) {
    const double inf = std::numeric_limits<double>::infinity();
    NeighbourGrid grid;
    for (const Vec2 far : {Vec2{1e308, 0.0}, Vec2{3.0, 4.0}}) {
        grid.clear();
        for (const Vec2 p : {Vec2{1.0, 1.0}, Vec2{inf, 0.0}, Vec2{-1e308, 0.0}, far,
                             Vec2{std::nan(""), 2.0}, Vec2{2.0, 1.5}})
            grid.add(p);
        grid.build();
        const auto near = grid.near({1.5, 1.0}, 1.0);
        ASSERT_GE(near.size(), 2u);
        EXPECT_EQ(near[0], 0u);
        EXPECT_NE(std::find(near.begin(), near.end(), 5u), near.end());
        for (const std::uint32_t i : {1u, 4u})
            EXPECT_EQ(std::find(near.begin(), near.end(), i), near.end()) << i;
        const auto all = grid.near({std::nan(""), 0.0}, 1.0);
        EXPECT_EQ(std::vector<std::uint32_t>(all.begin(), all.end()),
                  (std::vector<std::uint32_t>{0, 2, 3, 5}));
    }
    grid.clear();
    grid.build();
    EXPECT_TRUE(grid.near({0.0, 0.0}, 5.0).empty());
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
