// follower: a small example controller on the runtime. It reads the people-tracking record
// from `peopledata` and drives the robot after the followed person through `velocity`
// (connect that to the simulator's `robotControlInfo`), keeping a set distance. The control
// law is in follow_law.cpp; this file is the component around it. Meant as a starting point
// for one's own controller.

#include "IIS2.hh"
#include "MRFC.hh"
#include "app/follow_law.hpp"
#include "rtc/rtc.hpp"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>

namespace {

using follower::Velocity;

constexpr const char* kUsage =
    "Usage: follower [-f rtc.conf] [-o key:value]... [-p PORT] [-ORBoption value]...\n"
    "\n"
    "Example controller component (type Follower, instance Follower0). It reads people\n"
    "tracking data on its in-port `peopledata` and writes velocity commands on its out-port\n"
    "`velocity`, steering toward the followed person while keeping follow_distance. The\n"
    "followed person is the one the tracking data names (its field id, a position in the\n"
    "person list); the simulator keeps that pointing at the same person.\n"
    "\n"
    "Parameters (conf.default.<name> in the component configuration file, or changed at\n"
    "run time with vostrel-ctl conf set Follower0 <name> <value>):\n"
    "  follow_distance  1.0   distance to keep [m]\n"
    "  gain_linear      1.0   forward speed per metre of distance error [1/s]\n"
    "  gain_angular     1.5   turn rate per radian of bearing [1/s]\n"
    "  max_speed        1.5   forward speed limit [m/s]\n"
    "  max_reverse      0.1   reverse speed limit [m/s]\n"
    "  max_turn         1.0   turn rate limit [rad/s]\n"
    "  max_accel        0.4   what the robot's wheels can do [m/s^2]: the commanded speed\n"
    "                         changes by at most max_accel x period per command, and stays\n"
    "                         low enough to stop at follow_distance\n"
    "  timeout          1.0   stop when no tracking data arrived for this long [s]\n"
    "A person behind the robot makes it turn on the spot. Behind a person walking at\n"
    "speed v the robot keeps about follow_distance + v^2 / (2 max_accel).\n"
    "\n"
    "Example: follower -f examples/follower.conf\n";

// The longest period the speed may change over in one command: after a pause (the first
// command, or one after a stop) the next command is still followed over a usual period
// only. Longer than the simulator's cycle and a slow tracker's.
constexpr double kLongestPeriodS = 0.5;

double seconds(const RTC::Time& t) {
    return t.sec + t.nsec * 1e-9;
}

// The text each parameter starts from; the profile and bindParameter share it.
struct ParamDefault {
    const char* name;
    const char* value;
};
constexpr ParamDefault kParams[] = {
    {"follow_distance", "1.0"}, {"gain_linear", "1.0"}, {"gain_angular", "1.5"},
    {"max_speed", "1.5"},       {"max_reverse", "0.1"}, {"max_turn", "1.0"},
    {"max_accel", "0.4"},       {"timeout", "1.0"},
};

class Follower : public RTC::DataFlowComponentBase {
  public:
    explicit Follower(RTC::Manager* manager)
        : RTC::DataFlowComponentBase(manager),
          peopleIn_("peopledata", people_),
          velocityOut_("velocity", velocity_) {}

    RTC::ReturnCode_t onInitialize() override {
        addInPort("peopledata", peopleIn_);
        addOutPort("velocity", velocityOut_);
        double* vars[] = {&law_.followDistance, &law_.gainLinear, &law_.gainAngular, &law_.maxSpeed,
                          &law_.maxReverse,     &law_.maxTurn,    &law_.maxAccel,    &timeoutS_};
        for (std::size_t i = 0; i < std::size(kParams); ++i) {
            bindParameter(kParams[i].name, *vars[i], kParams[i].value);
        }
        return RTC::RTC_OK;
    }

    RTC::ReturnCode_t onActivated(RTC::UniqueId) override {
        // Whatever is still queued was meant for an earlier run.
        while (peopleIn_.isNew()) {
            peopleIn_.read();
        }
        following_ = -2;
        lastSample_ = std::chrono::steady_clock::now();
        sentAt_.reset();
        sent_ = {};
        return RTC::RTC_OK;
    }

    RTC::ReturnCode_t onDeactivated(RTC::UniqueId) override {
        // Leave the robot standing, not driving on with the last command.
        send({});
        return RTC::RTC_OK;
    }

    RTC::ReturnCode_t onExecute(RTC::UniqueId) override {
        bool fresh = false;
        // Only the newest sample matters when several arrived during one period; one that
        // does not decode is dropped whole rather than half-read into the record.
        while (peopleIn_.isNew()) {
            if (peopleIn_.read(sample_)) {
                people_ = sample_;
                fresh = true;
            }
        }
        auto now = std::chrono::steady_clock::now();
        if (fresh) {
            lastSample_ = now;
            report(people_.data);
            send(command(people_));
            return RTC::RTC_OK;
        }
        // The simulator keeps the last command in force, so a lost tracker must be
        // answered with an explicit stop.
        std::chrono::duration<double> quiet = now - lastSample_;
        if (!stopped() && !(quiet.count() < timeoutS_)) {
            std::cout << "follower: no tracking data for " << timeoutS_ << " s, stopping"
                      << std::endl;
            send({});
        }
        return RTC::RTC_OK;
    }

  private:
    // Anything that does not name a person (no target, an index past the list) stops the
    // robot. The period is how long the wheels have had to follow the last command, told by
    // the tracker's stamps rather than this process's clock: a simulation on a simulated
    // clock may run far faster or slower than real time.
    Velocity command(const MRFC::TimedPeopleTrackingData& sample) const {
        const MRFC::PeopleTrackingData& data = sample.data;
        if (!names(data)) {
            return {};
        }
        const RTC::Point3D& p = data.person[static_cast<CORBA::ULong>(data.id)].position;
        const double period = sentAt_ ? seconds(sample.tm) - *sentAt_ : kLongestPeriodS;
        return follower::steer(p.x, p.y, law_, sent_, std::clamp(period, 0.0, kLongestPeriodS));
    }

    static bool names(const MRFC::PeopleTrackingData& data) {
        return data.id >= 0 && static_cast<CORBA::ULong>(data.id) < data.person.length();
    }

    void send(const Velocity& cmd) {
        velocity_.tm = people_.tm;  // the instant the command answers
        velocity_.data.vx = cmd.vx;
        velocity_.data.vy = 0;
        velocity_.data.va = cmd.va;
        velocityOut_.write();
        sent_ = cmd;
        sentAt_ = seconds(people_.tm);
    }

    bool stopped() const { return sent_.vx == 0 && sent_.va == 0; }

    // One line when the target appears, moves to another place in the list, or is lost, so
    // the console tells what the robot does. The tracking data names the followed person
    // by position in its list, and that position shifts when somebody ahead leaves.
    void report(const MRFC::PeopleTrackingData& data) {
        long now = names(data) ? data.id : -1;
        if (now == following_) {
            return;
        }
        following_ = now;
        if (now >= 0) {
            std::cout << "follower: following person at list position " << data.id << " of "
                      << data.person.length() << " (the tracker's target)" << std::endl;
        } else {
            std::cout << "follower: no person to follow, standing still" << std::endl;
        }
    }

    MRFC::TimedPeopleTrackingData people_{};
    MRFC::TimedPeopleTrackingData sample_{};
    IIS::TimedVelocity2D velocity_{};
    RTC::InPort<MRFC::TimedPeopleTrackingData> peopleIn_;
    RTC::OutPort<IIS::TimedVelocity2D> velocityOut_;
    follower::FollowLaw law_;
    double timeoutS_ = 0;
    std::chrono::steady_clock::time_point lastSample_{};
    std::optional<double> sentAt_;  // the stamp of the sample the last command answered [s]
    Velocity sent_{};               // the last command, which the robot still follows
    long following_ = -2;           // list position reported last; -1 none, -2 nothing reported yet
};

void moduleInit(RTC::Manager* manager) {
    coil::Properties profile;
    const char* const fixed[][2] = {
        {"implementation_id", "Follower"},
        {"type_name", "Follower"},
        {"description", "Follows a tracked person at a set distance"},
        {"version", "1.0"},
        {"vendor", "vostrel"},
        {"category", "example"},
        {"activity_type", "PERIODIC"},
        {"kind", "DataFlowComponent"},
        {"max_instance", "1"},
        {"language", "C++"},
        {"lang_type", "compile"},
    };
    for (const auto& [key, value] : fixed) {
        profile.setProperty(key, value);
    }
    for (const auto& p : kParams) {
        profile.setProperty(std::string("conf.default.") + p.name, p.value);
        profile.setProperty(std::string("conf.__widget__.") + p.name, "text");
    }
    manager->registerFactory(profile, RTC::Create<Follower>, RTC::Delete<Follower>);
    if (manager->createComponent("Follower") == nullptr) {
        std::cerr << "follower: component create failed" << std::endl;
        std::abort();
    }
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::cout << kUsage;
            return 0;
        }
    }
    RTC::Manager* manager = RTC::Manager::init(argc, argv);
    manager->setModuleInitProc(moduleInit);
    manager->activateManager();
    manager->runManager(false);
    return 0;
}
