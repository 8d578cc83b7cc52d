// Time slicing, entering, dwelling, queues, next actions and error handling of the crowd step.
#include "environment/error.hpp"
#include "tests/people/people_fixture.hpp"

namespace vostrel::test {
namespace {

std::vector<double> slices(double t) {
    std::vector<double> out;
    forEachSubStep(t, [&](double dt) { out.push_back(dt); });
    return out;
}

TEST(CrowdTimer, SlicesTheElapsedTicksIntoSubSteps) {
    CrowdTimer timer;
    EXPECT_EQ(timer.elapsed(4'294'967'290u), 0.1);  // first call, just before the wrap
    EXPECT_EQ(timer.elapsed(244u), 0.25);           // across the wrap
    EXPECT_EQ(slices(0.25), (std::vector<double>{0.1, 0.1, 0.25 - 0.1 - 0.1}));
    EXPECT_EQ(timer.elapsed(244u), 0.0);
    EXPECT_TRUE(slices(0.0).empty());
    EXPECT_EQ(timer.elapsed(5244u), 1.0);  // five seconds count as one
    const std::vector<double> second = slices(1.0);
    ASSERT_EQ(second.size(), 11u);
    EXPECT_LT(second[10], 1e-15);
}

class Stepping : public PeopleTest {
  protected:
    void SetUp() override {
        env.walls.add(Segment::fromPoints({10, 10}, {10, 9}));  // sets the extent only
        env.points.add(1, Point(1, 1.0, 1.0, 0.5));
        env.points.add(2, Point(2, 5.0, 1.0, 0.5));
        actions.set(0, act(kPoint, 1, 1, {-1.0, 0.0}));  // a negative dwell
        actions.set(1, act(kPoint, 2, 0, {0.0, 0.0}));   // no dwell at all
        areas = {rect(0, 0, 0, 10, 10)};
    }
    void entrance(GaussianRandom interval) {
        env.entrances.push_back({static_cast<int>(env.entrances.size()) + 1,
                                 Segment::fromPoints({3, 2}, {3, 4}), interval});
    }
};

TEST_F(Stepping, NewcomersDrawInOrderOnePerStepWithFreshIds) {
    entrance({0.0, 0.0});
    actions.addFirst(0);
    Crowd& c = build();
    CrowdTimer timer;
    CRandom expected = rng;
    (void)GaussianRandom{}.draw(expected);  // next interval
    const double rate = GaussianRandom{1.33, 0.1}.draw(expected);
    const double along = GaussianRandom{0.5, 0.1}.draw(expected);
    (void)GaussianRandom{}.draw(expected);  // the one candidate's noise
    c.advance(500u, timer);                 // the first advance is one step
    ASSERT_EQ(c.persons().size(), 1u);
    EXPECT_EQ(rng.state(), expected.state());
    EXPECT_EQ(c.persons()[0].walkingRate, rate);
    EXPECT_EQ(c.persons()[0].position(), (Vec2{3.0, 2.0 + 2.0 * along}));

    c.advance(700u, timer);  // two steps, one newcomer each
    ASSERT_EQ(c.persons().size(), 3u);
    at(0).setPosition({3.0, -0.01});  // out of the extent: gone next step
    c.step(0.1);
    EXPECT_EQ(c.persons().front().id, 1);
    EXPECT_EQ(c.persons().back().id, 3);
}

TEST_F(Stepping, NegativeDwellStandsOneStepAndZeroDwellMovesOnAtOnce) {
    Crowd& c = build();
    const std::int32_t id = c.addPerson(walker({1, 1}, {}, *actions.at(0)));
    c.step(0.1);
    EXPECT_EQ(at(id).dwellLeft, -1.0);
    c.step(0.1);
    EXPECT_EQ(at(id).dwellLeft, 0.0);
    EXPECT_EQ(at(id).action.destinationId, 2);
    EXPECT_EQ(at(id).velocity(), Vec2{});
    at(id).setPosition({5, 1});
    c.step(0.1);
    EXPECT_EQ(at(id).action.destinationId, 1);  // arrived, dwelt 0 s, moved on
    EXPECT_LT(at(id).velocity().x, 0.0);        // and already heads for point 1
}

TEST_F(Stepping, QueueFormsBehindTheLastMovesUpAndForgetsLeavers) {
    env.queues.add(1, Queue(1, 5.0, 1.0, 0.0, 0.5));
    Crowd& c = build();
    EXPECT_EQ(queueTail(env, state, 0), (Vec2{5.0, 1.0}));
    std::vector<std::int32_t> ids;
    for (const Vec2 place : {Vec2{5.0, 1.0}, Vec2{5.1, 1.5}, Vec2{5.0, 2.0}}) {
        ids.push_back(c.addPerson(walker(place, {}, act(kQueue))));
        hasArrived(env, state, at(ids.back()));  // joins: within 0.3 m of its place
    }
    EXPECT_EQ(state.queues[0], ids);
    EXPECT_EQ(queueTail(env, state, 0), (Vec2{5.0, 2.5}));
    // Behind the one ahead, where it is.
    EXPECT_EQ(queuePlace(env, state, at(ids[2])), (Vec2{5.1, 2.0}));
    EXPECT_TRUE(hasArrived(env, state, at(ids[0])));  // only the head has arrived
    EXPECT_FALSE(hasArrived(env, state, at(ids[1])));
    leaveQueue(state, at(ids[1]));
    EXPECT_EQ(queuePlace(env, state, at(ids[2])), (Vec2{5.0, 1.5}));
    at(ids[0]).setPosition({10.5, 1.0});  // beyond the extent: leaves in the next step
    c.step(0.1);
    EXPECT_EQ(state.queues[0], (std::vector<std::int32_t>{ids[2]}));
    EXPECT_EQ(queuePlace(env, state, at(ids[2])), (Vec2{5.0, 1.0}));
}

TEST_F(Stepping, ErrorIsReportedAndRaisedKeepingEarlierUpdates) {
    env.seats.add(1, Seat(1, 2.0, 5.0));
    env.seats.add(1, Seat(1, 50.0, 5.0));  // off the network
    Person sitter = walker({2, 5}, {}, act(kSeat));
    sitter.dwellLeft = 3.0;
    build();
    ASSERT_TRUE(hasArrived(env, state, at(crowd->addPerson(sitter))));
    crowd->addPerson(walker({4, 5}, {}, act(kSeat)));  // its seat is taken: chooses again
    Person last = walker({7, 7});
    last.dwellLeft = 3.0;
    const std::int32_t d = crowd->addPerson(last);
    EXPECT_THROW(crowd->step(0.1), Error);
    EXPECT_EQ(err.str(), "Error: Coordinate is out of subareas.\n");
    EXPECT_DOUBLE_EQ(at(0).dwellLeft, 2.9);
    EXPECT_EQ(at(d).dwellLeft, 3.0);
}

TEST_F(Stepping, MissingActionsAreReportedOnceAndReadNothingOutOfRange) {
    entrance({0.0, 0.0});
    entrance({0.0, 0.0});
    actions.addFirst(1);
    actions.set(1, act(kPoint, 2, 7, {0.0, 0.0}));  // action 7 does not exist
    Crowd& c = build();
    EXPECT_EQ(err.str(), "Error: Entrance 2 has no first action; nobody enters there.\n");
    Person p = walker({5, 1}, {}, *actions.at(1));
    p.action.targetIndex = 1;
    const std::int32_t id = c.addPerson(p);
    for (int i = 0; i < 3; ++i) c.step(0.1);
    EXPECT_EQ(c.persons().size(), 4u);  // through the first entrance only
    EXPECT_EQ(err.str().find("Error: Action 7 is not in the action table"),
              err.str().rfind("Error: Action 7"));
    EXPECT_NE(err.str().find("Error: Action 7"), std::string::npos);
    EXPECT_EQ(at(id).action.destinationId, 2);
}

}  // namespace
}  // namespace vostrel::test
