// Steering, speed, forces, arrival and exit of one person.
#include <cmath>

#include "tests/people/people_fixture.hpp"

namespace vostrel::test {
namespace {

class Motion : public PeopleTest {
  protected:
    void SetUp() override { env.points.add(1, Point(1, 20.0, 0.0, 0.5)); }
};

TEST_F(Motion, SteeringBisectsHeadingAndForceAndScalesBySpeed) {
    Person rest = walker({0, 0}), along = walker({0, 0}, {1, 0}), across = walker({0, 0}, {0, 1});
    steer(rest);
    steer(along);
    steer(across);
    EXPECT_EQ(rest.velocity(), (Vec2{0.665, 0.0}));
    EXPECT_DOUBLE_EQ(along.velocity().x, 1.33);
    EXPECT_NEAR(across.velocity().length(), 1.33 * std::sqrt(0.5), 1e-12);

    // A robot pushes harder than a person at the same place.
    Person byRobot = walker({0, 0}, {1, 0}), byPerson = byRobot;
    const Pose2D robot{1.0, 1.0, 0.0};
    steer(byRobot, {}, {&robot, 1});
    const Predicted person{9, {1.0, 1.0}};
    steer(byPerson, {&person, 1});
    EXPECT_LT(byRobot.velocity().y, byPerson.velocity().y);
    EXPECT_LT(byPerson.velocity().y, 0.0);
}

TEST_F(Motion, OnlyPersonsCloseAheadSlowDown) {
    const double off31 = 31.0 * std::acos(-1.0) / 180.0;
    const std::vector<Predicted> around{{0, {0.5, 0.0}},  {1, {2.0, 0.0}},
                                        {2, {1.0, 0.5}},  {3, {1.5, -0.3}},  // self, 3 ahead
                                        {4, {2.01, 0.0}}, {5, {std::cos(off31), std::sin(off31)}},
                                        {6, {-1.0, 0.0}}};
    const WalkingModel& m = walking();
    EXPECT_NEAR(m.walkingSpeed(walker({0, 0}), {1, 0}, around), 1.33 - 0.341 * 3 / std::sqrt(3.0),
                1e-12);
    EXPECT_DOUBLE_EQ(m.walkingSpeed(walker({0, 0}), {}, around), 1.33);  // no heading: nobody ahead
    // Steering judges the speed along the new heading, not the old one.
    const Predicted ahead[] = {{1, {1.0, 0.0}}};
    Person turning = walker({0, 0}, {0, 1});
    steer(turning, ahead);
    EXPECT_LT(turning.velocity().length(), 1.33 * std::sqrt(0.5));
}

TEST_F(Motion, WallsAndOthersRepelOnlyWithinRangeAndInSight) {
    EXPECT_EQ(walking().wallForce({0.3, 0.0}), Vec2{});
    env.walls.add(Segment::fromPoints({0, -5}, {0, 5}));
    env.walls.add(Segment::fromPoints({3, -1}, {3, -5}));
    const WalkingModel& c = walking();
    EXPECT_DOUBLE_EQ(c.wallForce({0.8, 0.0}).x, 0.05 / 0.512);
    EXPECT_EQ(c.wallForce({0.81, 0.0}), Vec2{});
    EXPECT_EQ(c.wallForce({0.0, 1.0}), Vec2{});  // on the wall: finite
    EXPECT_LT(c.wallForce({2.5, -2.0}).x, 0.0);  // the nearer wall wins

    const Vec2 v{1, 0};
    EXPECT_DOUBLE_EQ(c.agentForce(v, {1, 0}, {8.5, 0}, 0.6).x, -0.6 / 56.25);
    EXPECT_DOUBLE_EQ(c.agentForce(v, {1, 0}, {2, 0}, 0.8).x, -0.8);
    for (const auto& [from, to, vel] :
         std::vector<std::tuple<Vec2, Vec2, Vec2>>{{{1, 0}, {8.6, 0}, v},
                                                   {{1, 0}, {0.5, 0}, v},
                                                   {{1, 0}, {2, 1.8}, v},  // far, behind, 61°
                                                   {{1, -3}, {6, -3}, v},
                                                   {{1, 0}, {2, 0}, {}},
                                                   {{1, 1}, {1, 1}, v}})  // wall, rest, same spot
        EXPECT_EQ(c.agentForce(vel, from, to, 0.6), Vec2{}) << to.x << "," << to.y;
}

TEST_F(Motion, ArrivalIsInclusiveAndExitNeedsAStrictCrossing) {
    env.points.add(2, Point(2, 0.5, 0.0, 0.5));
    env.seats.add(1, Seat(1, 0.45, 0.0));
    env.exits.add(1, Exit(1, Segment::fromPoints({10, 0}, {10, 4})));
    state.restart(env);
    Person point = walker({0, 0});
    point.action.targetIndex = 1;
    EXPECT_TRUE(hasArrived(env, state, point));
    EXPECT_FALSE(hasArrived(env, state, walker({0, -0.01}, {}, act(kSeat))));
    Person seated = walker({0, 0}, {}, act(kSeat));
    seated.id = 4;
    EXPECT_TRUE(hasArrived(env, state, seated));
    EXPECT_TRUE(state.seats[0].occupied);
    EXPECT_EQ(state.seats[0].occupant, 4);

    EXPECT_TRUE(hasCrossedExit(env, walker({10.2, 2}, {1, 0}, act(kExit))));
    EXPECT_FALSE(hasCrossedExit(env, walker({10.0, 2}, {1, 0}, act(kExit))));  // touching
    EXPECT_FALSE(hasCrossedExit(env, walker({10.2, 2}, {1, 0}, act(kPoint))));
}

TEST_F(Motion, GoalDirectionLooksAheadAsFarAsWallsAllow) {
    areas = {rect(0, 0, 0, 5, 4), rect(1, 5, 0, 10, 4)};
    link(areas, 0, 1, {5, 0}, {5, 4});
    env.points.add(3, Point(3, 8.0, 3.0, 0.5));
    Person p = walker({2, 1});
    p.action.targetIndex = 1;
    p.route = {1};
    const Vec2 both = (Vec2{1, 0} + Vec2{6, 2}.normalised()).normalised();
    EXPECT_EQ(walking().goalDirection(p, state), both);
    env.walls.add(Segment::fromPoints({4, 1.5}, {4, 3}));  // hides the point, not the border
    EXPECT_EQ(walking().goalDirection(p, state), (Vec2{1, 0}));
    p.setPosition({-1, 1});  // off the network: at the point, not at the frame origin
    EXPECT_EQ(walking().goalDirection(p, state), Vec2(9, 2).normalised());
}

}  // namespace
}  // namespace vostrel::test
