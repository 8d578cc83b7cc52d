// follower: a small example controller on the runtime. It reads the people-tracking record
// from `peopledata` and drives the robot after the followed person through `velocity`
// (connect that to the simulator's `robotControlInfo`), keeping a set distance with a
// plain proportional law. Meant as a starting point for one's own controller.

#include "IIS2.hh"
#include "MRFC.hh"
#include "rtc/rtc.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

namespace {

constexpr const char* kUsage =
    "Usage: follower [-f rtc.conf] [-o key:value]... [-p PORT] [-ORBoption value]...\n"
    "\n"
    "Example controller component (type Follower, instance Follower0). It reads people\n"
    "tracking data on its in-port `peopledata` and writes velocity commands on its out-port\n"
    "`velocity`, steering toward the followed person while keeping follow_distance.\n"
    "\n"
    "Parameters (conf.default.<name> in the component configuration file, or changed at\n"
    "run time with vostrel-ctl conf set Follower0 <name> <value>):\n"
    "  follow_distance  1.0   distance to keep [m]\n"
    "  gain_linear      1.0   forward speed per metre of distance error [1/s]\n"
    "  gain_angular     1.5   turn rate per radian of bearing [1/s]\n"
    "  max_speed        1.5   forward speed limit [m/s]\n"
    "  max_reverse      0.1   reverse speed limit [m/s]\n"
    "  max_turn         1.0   turn rate limit [rad/s]\n"
    "  timeout          1.0   stop when no tracking data arrived for this long [s]\n"
    "A proportional law lags: behind a person walking at speed v the robot keeps about\n"
    "follow_distance + v / gain_linear.\n"
    "\n"
    "Example: follower -f examples/follower.conf\n";

// The text each parameter starts from; the profile and bindParameter share it.
struct ParamDefault {
    const char* name;
    const char* value;
};
constexpr ParamDefault kParams[] = {
    {"follow_distance", "1.0"}, {"gain_linear", "1.0"}, {"gain_angular", "1.5"},
    {"max_speed", "1.5"},       {"max_reverse", "0.1"}, {"max_turn", "1.0"},
    {"timeout", "1.0"},
};

// Filled from kParams through bindParameter.
struct ControlLaw {
    double followDistance = 0;
    double gainLinear = 0;
    double gainAngular = 0;
    double maxSpeed = 0;
    double maxReverse = 0;
    double maxTurn = 0;
};

struct Command {
    double vx = 0;
    double va = 0;
};

// A limit set to a negative or non-numeric value must not turn a clamp inside out.
double limitOf(double value) {
    return std::isfinite(value) ? std::max(value, 0.0) : 0.0;
}

// Steers toward the followed person. Anything that does not name a person with a finite
// position (no target, an index past the list, NaN from a broken tracker) stops the robot.
Command steer(const MRFC::PeopleTrackingData& data, const ControlLaw& law) {
    if (data.id < 0 || static_cast<CORBA::ULong>(data.id) >= data.person.length()) {
        return {};
    }
    const RTC::Point3D& p = data.person[static_cast<CORBA::ULong>(data.id)].position;
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
        return {};
    }
    double distance = std::hypot(p.x, p.y);
    double bearing = std::atan2(p.y, p.x);
    // Only the part of the distance error along the heading drives the wheels, so a person
    // beside or behind the robot makes it turn first rather than run off.
    double vx = law.gainLinear * (distance - law.followDistance) * std::cos(bearing);
    double va = law.gainAngular * bearing;
    Command cmd;
    cmd.vx = std::clamp(vx, -limitOf(law.maxReverse), limitOf(law.maxSpeed));
    cmd.va = std::clamp(va, -limitOf(law.maxTurn), limitOf(law.maxTurn));
    if (!std::isfinite(cmd.vx) || !std::isfinite(cmd.va)) {
        return {};
    }
    return cmd;
}

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
                          &law_.maxReverse,     &law_.maxTurn,    &timeoutS_};
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
        following_ = Following::unknown;
        lastSample_ = std::chrono::steady_clock::now();
        stopped_ = true;
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
            send(steer(people_.data, law_));
            return RTC::RTC_OK;
        }
        // The simulator keeps the last command in force, so a lost tracker must be
        // answered with an explicit stop.
        std::chrono::duration<double> quiet = now - lastSample_;
        if (!stopped_ && !(quiet.count() < timeoutS_)) {
            std::cout << "follower: no tracking data for " << timeoutS_ << " s, stopping"
                      << std::endl;
            send({});
        }
        return RTC::RTC_OK;
    }

  private:
    enum class Following { unknown, yes, no };

    void send(const Command& cmd) {
        velocity_.tm = people_.tm;  // the instant the command answers
        velocity_.data.vx = cmd.vx;
        velocity_.data.vy = 0;
        velocity_.data.va = cmd.va;
        velocityOut_.write();
        stopped_ = cmd.vx == 0 && cmd.va == 0;
    }

    // One line when the target appears or is lost, so the console tells what the robot does.
    void report(const MRFC::PeopleTrackingData& data) {
        bool has = data.id >= 0 && static_cast<CORBA::ULong>(data.id) < data.person.length();
        Following now = has ? Following::yes : Following::no;
        if (now == following_) {
            return;
        }
        following_ = now;
        if (has) {
            std::cout << "follower: following person " << data.id << " of " << data.person.length()
                      << std::endl;
        } else {
            std::cout << "follower: no person to follow, standing still" << std::endl;
        }
    }

    MRFC::TimedPeopleTrackingData people_{};
    MRFC::TimedPeopleTrackingData sample_{};
    IIS::TimedVelocity2D velocity_{};
    RTC::InPort<MRFC::TimedPeopleTrackingData> peopleIn_;
    RTC::OutPort<IIS::TimedVelocity2D> velocityOut_;
    ControlLaw law_;
    double timeoutS_ = 0;
    std::chrono::steady_clock::time_point lastSample_{};
    bool stopped_ = true;
    Following following_ = Following::unknown;
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
