#pragma once

#include <cstdint>
#include <iosfwd>
#include <vector>

#include "environment/world.hpp"
#include "people/crowd_timer.hpp"
#include "people/neighbour_grid.hpp"
#include "people/person_terms_pass.hpp"
#include "people/route_chooser.hpp"
#include "people/run_state.hpp"
#include "people/walking_model.hpp"
#include "people/world_index.hpp"
#include "platform/clock.hpp"

namespace vostrel {

// Free walking speeds of the persons who enter, m/s.
struct WalkingRates {
    double mean = 1.33;
    double deviation = 0.1;
};

// The people simulation: persons entering, walking their chains of actions and leaving.
//
// The crowd reads a world and changes a run state (both must outlive it). A step has two
// phases: first the persons' positions advance, leavers go, newcomers enter and everybody's
// position one step ahead is frozen in a snapshot; then each person in turn decides, against
// that snapshot, whether it has arrived, where it goes next and how it steers. Every random
// draw comes from the run state's sequence in a fixed order, so a seed and a tick sequence
// reproduce a run exactly.
class Crowd {
  public:
    // Sizes the run state's counts to the world's subareas; the state must have been
    // restarted in this world's environment.
    Crowd(const World& world, RunState& state, WalkingRates rates, std::ostream& err);

    // Advances by dt seconds (0 < dt <= 0.1). An error raised inside is written to the error
    // stream and raised again; persons already updated in this step keep their updates.
    void step(double dt);
    // Steps by the time elapsed since the timer's previous tick, in sub-steps of at most 0.1 s.
    void advance(Tick now, CrowdTimer& timer);

    const RunState& state() const { return state_; }
    const std::vector<Person>& persons() const { return state_.persons; }
    // With true, every step runs the plain loops over all persons and walls instead of the
    // indexes; the results are the same bit for bit, which is what tests compare.
    void usePlainLoops(bool on) { index_.usePlainLoops(on); }
    // Places a person as it is, with the next id (returned) and without any draw or choice;
    // for scenarios that start from a given state.
    std::int32_t addPerson(Person person);

  private:
    // Phase one: the crowd as a whole.
    void removeLeavers();
    void advancePositions(double dt);
    void admitNewcomers(double dt);
    void freezeSnapshot(double dt);
    void countPopulation();
    // Phase two: each person against the snapshot.
    // terms: the person's terms from this step's pass, null when the step has none.
    void updatePerson(Person& person, double dt, const PersonTerms* terms);
    // Leaves the queue if in one, takes the next action and chooses where to go.
    void beginNextAction(Person& person);
    void reportMissingAction(int actionId);

    const World& world_;
    RunState& state_;
    WalkingRates rates_;
    std::ostream& err_;
    WorldIndex index_;
    WalkingModel walking_;
    RouteChooser chooser_;
    std::vector<bool> entranceOpen_;  // false for an entrance without a first action

    // Scratch kept between steps so that stepping does not allocate in the steady state.
    std::vector<Predicted> predicted_;
    NeighbourGrid neighbours_;  // over predicted_
    PersonTermsPass terms_;     // over predicted_, through neighbours_
    std::vector<std::int32_t> leavers_;
    std::vector<int> reportedActions_;
};

}  // namespace vostrel
