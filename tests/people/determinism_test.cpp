// Whole runs on a sample environment: reproducibility and a stored reference trajectory.
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "environment/field_data.hpp"
#include "tests/people/people_fixture.hpp"

namespace vostrel::test {
namespace {

const std::string kData = std::string(VOSTREL_SOURCE_DIR) + "/tests/people/data/";

// The sample environment with its crowd, all drawing from one sequence.
struct HallRun {
    HallRun()
        : field(kData + "hall.txt", log),
          world{field.environment(), field.actionTable(), field.subareas()},
          state(startedIn(world, 20240501u)),
          crowd(world, state, WalkingRates{1.33, 0.1}, log) {}
    std::ostringstream log;
    FieldData field;
    World world;
    RunState state;
    Crowd crowd;
};

// Every field of every person as raw bits, so that equal means bit-identical.
std::vector<std::uint64_t> bits(const std::vector<Person>& persons) {
    std::vector<std::uint64_t> out;
    for (const Person& p : persons) {
        for (double v : {p.walkingRate, p.motion.direction.x, p.motion.direction.y,
                         p.motion.origin.x, p.motion.origin.y, p.dwellLeft, double(p.id),
                         double(p.action.kind), double(p.action.targetIndex)})
            out.push_back(std::bit_cast<std::uint64_t>(v));
        out.insert(out.end(), p.route.begin(), p.route.end());
    }
    return out;
}

TEST(Determinism, SameSeedAndTicksGiveBitIdenticalPersons) {
    HallRun a, b;
    CrowdTimer ta, tb, counter;
    const Tick gaps[] = {100, 100, 37, 250, 100, 0, 1500, 99, 100, 161};
    Tick now = 4'294'000'000u;  // wraps on the way
    int steps = 0;
    for (std::size_t call = 0; steps < 2000; ++call) {
        now += gaps[call % std::size(gaps)];
        forEachSubStep(counter.elapsed(now), [&](double) { ++steps; });
        a.crowd.advance(now, ta);
        b.crowd.advance(now, tb);
        ASSERT_EQ(bits(a.crowd.persons()), bits(b.crowd.persons())) << "step " << steps;
    }
    EXPECT_GT(a.state.nextId, 50);  // people came, and some left again
    EXPECT_LT(a.crowd.persons().size(), std::size_t(a.state.nextId));
}

// Positions every 100 steps of 0.1 s; VOSTREL_UPDATE_GOLDEN=1 stores a new reference.
TEST(Determinism, TrajectoryMatchesTheStoredOne) {
    HallRun run;
    std::string now;
    char line[96];
    for (int step = 1; step <= 2000; ++step) {
        run.crowd.step(0.1);
        for (const Person& p : run.crowd.persons())
            if (step % 100 == 0) {
                std::snprintf(line, sizeof line, "%d %d %.17g %.17g\n", step, p.id, p.position().x,
                              p.position().y);
                now += line;
            }
    }
    const std::string file = kData + "hall_golden.txt";
    if (std::getenv("VOSTREL_UPDATE_GOLDEN") != nullptr) std::ofstream(file) << now;
    std::ifstream in(file);
    const std::string stored{std::istreambuf_iterator<char>(in), {}};
    ASSERT_FALSE(stored.empty()) << file;
    EXPECT_EQ(now, stored);
}

}  // namespace
}  // namespace vostrel::test
