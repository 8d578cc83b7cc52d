// A stand-in for the simulator with just the two ports the follower uses: it publishes
// `peopledata` and logs every command that arrives on `robotControlInfo` as
// "command <vx> <va>". It registers under the simulator's type and category, so the demo
// script and the follower's tests can run against it.
//
// Parameters: scene "walk" (one person walks a circle, the robot integrates the commands
// it receives, and "distance <d>" is logged twice a second) or "fixed" (person 0 stands at
// (-2, -2) as a decoy, person 1 at `person` "x,y" in the robot frame; data.id = `target`);
// publish 0 stops the data.

#include "IIS2.hh"
#include "MRFC.hh"
#include "rtc/rtc.hpp"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

namespace {

class StandIn : public RTC::DataFlowComponentBase {
  public:
    explicit StandIn(RTC::Manager* manager)
        : RTC::DataFlowComponentBase(manager),
          commandIn_("robotControlInfo", command_),
          peopleOut_("peopledata", people_) {}

    RTC::ReturnCode_t onInitialize() override {
        addInPort("robotControlInfo", commandIn_);
        addOutPort("peopledata", peopleOut_);
        bindParameter("scene", scene_, "walk");
        bindParameter("person", person_, "3,0");
        bindParameter("target", target_, "1");
        bindParameter("publish", publish_, "1");
        return RTC::RTC_OK;
    }

    RTC::ReturnCode_t onActivated(RTC::UniqueId) override {
        last_ = std::chrono::steady_clock::now();
        walkTime_ = 0;
        robotX_ = -4;
        robotY_ = 0;
        robotHeading_ = 0;
        vx_ = 0;
        va_ = 0;
        return RTC::RTC_OK;
    }

    RTC::ReturnCode_t onExecute(RTC::UniqueId) override {
        auto now = std::chrono::steady_clock::now();
        double dt = std::chrono::duration<double>(now - last_).count();
        last_ = now;
        while (commandIn_.isNew()) {
            if (commandIn_.read()) {
                vx_ = command_.data.vx;
                va_ = command_.data.va;
                std::printf("command %.6f %.6f\n", vx_, va_);
                std::fflush(stdout);
            }
        }
        ++cycle_;
        // Stamped with the time elapsed, as the simulator stamps its samples: the follower
        // paces its speed changes by the stamps.
        const auto sinceStart =
            std::chrono::duration_cast<std::chrono::nanoseconds>(now.time_since_epoch()).count();
        people_.tm.sec = static_cast<CORBA::ULong>(sinceStart / 1000000000);
        people_.tm.nsec = static_cast<CORBA::ULong>(sinceStart % 1000000000);
        if (scene_ == "walk") {
            walk(dt);
        } else {
            fixed();
        }
        if (publish_ != 0) {
            peopleOut_.write();
        }
        return RTC::RTC_OK;
    }

  private:
    void fixed() {
        double x = 0;
        double y = 0;
        if (std::sscanf(person_.c_str(), "%lf,%lf", &x, &y) != 2) {
            x = 3;
            y = 0;
        }
        people_.data.id = target_;
        people_.data.person.length(2);
        setPerson(0, -2, -2);
        setPerson(1, x, y);
    }

    // A person on a circle of radius 3 m around the origin at 0.3 m/s; the robot drives
    // by the commands, so the logged distance shows whether the follower closes in.
    void walk(double dt) {
        robotX_ += vx_ * std::cos(robotHeading_) * dt;
        robotY_ += vx_ * std::sin(robotHeading_) * dt;
        robotHeading_ += va_ * dt;
        walkTime_ += dt;
        double angle = 0.1 * walkTime_;
        double px = 3 * std::cos(angle);
        double py = 3 * std::sin(angle);
        double dx = px - robotX_;
        double dy = py - robotY_;
        double c = std::cos(robotHeading_);
        double s = std::sin(robotHeading_);
        people_.data.id = 0;
        people_.data.person.length(1);
        setPerson(0, dx * c + dy * s, -dx * s + dy * c);
        if (cycle_ % 10 == 0) {
            std::printf("distance %.6f\n", std::hypot(dx, dy));
            std::fflush(stdout);
        }
    }

    void setPerson(CORBA::ULong i, double x, double y) {
        people_.data.person[i].position.x = x;
        people_.data.person[i].position.y = y;
        people_.data.person[i].position.z = 0;
        people_.data.person[i].velocity.vx = 0;
        people_.data.person[i].velocity.vy = 0;
        people_.data.person[i].velocity.va = 0;
    }

    IIS::TimedVelocity2D command_{};
    MRFC::TimedPeopleTrackingData people_{};
    RTC::InPort<IIS::TimedVelocity2D> commandIn_;
    RTC::OutPort<MRFC::TimedPeopleTrackingData> peopleOut_;
    std::string scene_;
    std::string person_;
    int target_ = 1;
    int publish_ = 1;
    long cycle_ = 0;
    std::chrono::steady_clock::time_point last_{};
    double walkTime_ = 0;
    double robotX_ = 0;
    double robotY_ = 0;
    double robotHeading_ = 0;
    double vx_ = 0;
    double va_ = 0;
};

void moduleInit(RTC::Manager* manager) {
    coil::Properties profile;
    const char* const keys[][2] = {
        {"implementation_id", "Vostrel"},
        {"type_name", "Vostrel"},
        {"description", "Stand-in publishing people data"},
        {"version", "1.0"},
        {"vendor", "vostrel.test"},
        {"category", "Simulato"},
        {"activity_type", "PERIODIC"},
        {"kind", "DataFlowComponent"},
        {"max_instance", "1"},
        {"language", "C++"},
        {"lang_type", "compile"},
        {"conf.default.scene", "walk"},
        {"conf.default.person", "3,0"},
        {"conf.default.target", "1"},
        {"conf.default.publish", "1"},
    };
    for (const auto& [key, value] : keys) {
        profile.setProperty(key, value);
    }
    manager->registerFactory(profile, RTC::Create<StandIn>, RTC::Delete<StandIn>);
    if (manager->createComponent("Vostrel") == nullptr) {
        std::cerr << "stand-in: component create failed" << std::endl;
        std::abort();
    }
    std::cerr << "stand-in for the simulator: publishing peopledata" << std::endl;
}

}  // namespace

int main(int argc, char** argv) {
    RTC::Manager* manager = RTC::Manager::init(argc, argv);
    manager->setModuleInitProc(moduleInit);
    manager->activateManager();
    manager->runManager(false);
    return 0;
}
