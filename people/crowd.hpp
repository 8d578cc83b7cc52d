#pragma once

#include <cstdint>
#include <iosfwd>
#include <span>
#include <vector>

#include "environment/action_table.hpp"
#include "environment/area_index.hpp"
#include "environment/area_lookup.hpp"
#include "environment/environment.hpp"
#include "environment/pose_2d.hpp"
#include "environment/wall_grid.hpp"
#include "people/crowd_timer.hpp"
#include "people/neighbour_grid.hpp"
#include "people/person.hpp"
#include "people/route.hpp"
#include "people/route_planner.hpp"
#include "people/seat_state.hpp"
#include "platform/c_random.hpp"

namespace vostrel {

// The people simulation: persons entering, walking their chains of actions and leaving.
//
// The crowd reads the environment and the action table it is given (both must outlive it) and
// owns everything that changes during a run: the persons, its own copy of the subarea list
// with the population counts, seat and queue state, the robots to avoid and the entrances'
// countdowns. Every random draw comes from the one sequence it is given, in a fixed order, so
// a seed and a tick sequence reproduce a run exactly.
class Crowd {
  public:
    // A person's id and position one step ahead: what the others react to during a step.
    struct Predicted {
        std::int32_t id;
        Vec2 position;
    };

    // A seat is reached, and stays taken, within this distance of it.
    static constexpr double kSeatReach = 0.45;
    // A queue place is reached within this distance.
    static constexpr double kQueueReach = 0.3;

    Crowd(const Environment& environment, const ActionTable& actions, SubareaList subareas,
          double rateMean, double rateDeviation, CRandom& rng, std::ostream& err);

    // --- Driving the crowd -------------------------------------------------------------------

    // Advances by dt seconds (0 < dt <= 0.1). An error raised inside is written to the error
    // stream and raised again; persons already updated in this step keep their updates.
    void step(double dt);
    // Steps by the time elapsed since the timer's previous tick, in sub-steps of at most 0.1 s.
    // The caller holds the lock guarding the crowd around this call.
    void advanceCrowd(Tick now, CrowdTimer& timer);

    // --- Reading and setting state -----------------------------------------------------------

    std::vector<Person> copyPersons() const { return persons_; }
    const std::vector<Person>& persons() const { return persons_; }
    std::vector<Pose2D>& robots() { return robots_; }
    const std::vector<Pose2D>& robots() const { return robots_; }
    const SubareaList& subareas() const { return subareas_; }
    const std::vector<SeatState>& seats() const { return seats_; }
    const std::vector<std::vector<std::int32_t>>& queues() const { return queues_; }
    const std::vector<Entrance>& entrances() const { return entrances_; }
    std::int32_t nextId() const { return nextId_; }
    // With true, every step runs the plain loops over all persons and walls instead of the
    // indexes; the results are the same bit for bit, which is what tests compare.
    void usePlainLoops(bool on) { plainLoops_ = on; }
    // Places a person as it is, with the next id (returned) and without any draw or choice;
    // for scenarios that start from a given state.
    std::int32_t addPerson(Person person);
    // The person with that id, or nullptr; persons are kept in ascending id order.
    Person* findPerson(std::int32_t id);
    const Person* findPerson(std::int32_t id) const;

    // --- Step phases, in the order step() runs them ------------------------------------------

    void removeLeavers();
    void advancePositions(double dt);
    void admitNewcomers(double dt);
    void predict(double dt);  // fills predicted() from the current persons
    void countPopulation();
    void refreshSeats();
    void updatePerson(Person& person, double dt);
    // Leaves the queue if in one, takes the next action and chooses where to go.
    void beginNextAction(Person& person);
    const std::vector<Predicted>& predicted() const { return predicted_; }

    // --- Walking model of one person ---------------------------------------------------------

    // Against every entry of predicted; a step uses the neighbour index over predicted().
    void steer(Person& person, std::span<const Predicted> predicted) const;
    double walkingSpeed(const Person& person, std::span<const Predicted> predicted) const;
    Vec2 goalDirection(const Person& person) const;
    // One unit vector per border of the route in direct sight, in route order, stopping at the
    // first hidden one; the final target counts when every border before it is in sight.
    Vec2 lookAhead(const Person& person, std::span<const int> route) const;
    Vec2 finalLegVector(const Person& person) const;
    Vec2 wallForce(Vec2 position) const;
    Vec2 agentForce(Vec2 velocity, Vec2 position, Vec2 other, double strength) const;
    // May occupy a seat or join a queue list.
    bool hasArrived(const Person& person);
    bool hasCrossedExit(const Person& person) const;
    // The shortest segment from p to s shrunk by margin at both ends, as a vector.
    static Vec2 approachVector(Vec2 p, const Segment& s, double margin);

    // --- Destination and route choice --------------------------------------------------------

    void chooseDestination(Person& person);
    Route findRoute(const SubareaList& list, Vec2 p, Vec2 q);
    bool isInRouteArea(const Person& person) const;
    // Plans a new route to the current target when the person stands outside the network or in
    // a subarea that does not border the next one of its route; draws nothing.
    void repairRoute(Person& person);
    // The point the person is finally heading for.
    Vec2 finalTarget(const Person& person) const;

    // --- Seats and queues --------------------------------------------------------------------

    Vec2 queueTail(int queueIndex) const;
    Vec2 queuePlace(const Person& person) const;
    void leaveQueue(const Person& person);

  private:
    const Subarea& subarea(int index) const { return subareas_[static_cast<std::size_t>(index)]; }
    // The queue list at a group position, or nullptr when the position names no queue.
    std::vector<std::int32_t>* queueList(int k);
    const std::vector<std::int32_t>* queueList(int k) const;
    SeatState* seatState(int k);
    static void dropRouteFront(Person& person);
    // steer() against predicted(), looking only at the persons the neighbour index offers.
    void steerNearby(Person& person);
    void steerInStep(Person& person);
    Vec2 sightForce(Vec2 heading, Vec2 position, Vec2 other, double strength) const;
    bool isClear(const Segment& s) const;
    // indexAt() over subareas_, and the index that answers it unless plain loops are asked for.
    int areaAt(Vec2 p) const;
    const AreaIndex* areaIndex() const { return plainLoops_ ? nullptr : &areaIndex_; }
    void reportMissingAction(int actionId);

    const Environment& environment_;
    const ActionTable& actions_;
    CRandom& rng_;
    std::ostream& err_;
    double rateMean_;
    double rateDeviation_;

    std::int32_t nextId_ = 0;
    std::vector<Person> persons_;
    SubareaList subareas_;
    std::vector<SeatState> seats_;
    std::vector<std::vector<std::int32_t>> queues_;
    std::vector<Pose2D> robots_;
    std::vector<Entrance> entrances_;
    std::vector<bool> entranceOpen_;  // false for an entrance without a first action

    // Scratch kept between steps so that stepping does not allocate in the steady state.
    std::vector<Predicted> predicted_;
    bool plainLoops_ = false;
    WallGrid wallGrid_;         // the environment's walls; they do not change during a run
    AreaIndex areaIndex_;       // the subareas' shapes, which do not change either
    NeighbourGrid neighbours_;  // over predicted_
    std::vector<std::int32_t> leavers_;
    RoutePlanner planner_;
    std::vector<int> reportedActions_;
};

}  // namespace vostrel
