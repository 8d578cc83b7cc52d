#pragma once

#include <functional>
#include <mutex>

#include "IIS2.hh"
#include "LaserRangeSensorData.hh"
#include "MRFC.hh"
#include "OrvoGlobalPlanning.hh"
#include "component/area_info_service_svc_impl.hpp"
#include "component/map_service_svc_impl.hpp"
#include "people/crowd_threads.hpp"
#include "platform/clock.hpp"
#include "rtc/rtc.hpp"
#include "sim/configuration.hpp"
#include "sim/cycle_clock.hpp"
#include "sim/seed_choice.hpp"
#include "sim/simulation_run.hpp"
#include "web/run_view.hpp"

namespace vostrel {
class RunDisplay;
}

// The simulator as an RT-component: the framework calls in, the run does the work, the ports
// and services carry its results out. Everything but the three servants runs on the execution
// context's thread.
class Vostrel : public RTC::DataFlowComponentBase {
  public:
    explicit Vostrel(RTC::Manager* manager);
    ~Vostrel() override;

    RTC::ReturnCode_t onInitialize() override;
    RTC::ReturnCode_t onActivated(RTC::UniqueId ec_id) override;
    RTC::ReturnCode_t onDeactivated(RTC::UniqueId ec_id) override;
    RTC::ReturnCode_t onExecute(RTC::UniqueId ec_id) override;

    // Called after every completed cycle (ended false) and at deactivation, before the run is
    // released (ended true); for a process that records runs.
    // The process sets it after creating the component, when a caller may already run it.
    void setRunObserver(std::function<void(const vostrel::SimulationRun&, bool ended)> observer) {
        std::lock_guard lock(observerLock_);
        observer_ = std::move(observer);
    }

  private:
    void writeOutputs(const vostrel::CycleOutputs& o);
    void observe(bool ended);

    vostrel::CycleClock clock_;       // the run's tick (rtc.conf vostrel.clock)
    vostrel::SteadyClock realClock_;  // what cycles really cost
    vostrel::Configuration config_;   // the bound parameters
    vostrel::SeedChoice seed_;        // before run_, which it seeds
    vostrel::CrowdThreads threads_;   // rtc.conf vostrel.threads
    // The window, unless rtc.conf turns the drawing off; its settings are read before the run
    // prints its banner.
    std::unique_ptr<vostrel::RunDisplay> display_;
    vostrel::SimulationRun run_;

    IIS::TimedVelocity2D commandIn_{};
    RTC::InPort<IIS::TimedVelocity2D> commandPort_;
    SensorRTC::LaserRangeSensor::idl::TimedMeasuredData rangeOut_{};
    RTC::OutPort<SensorRTC::LaserRangeSensor::idl::TimedMeasuredData> rangePort_;
    IIS::TimedPose2D stateOut_{};
    RTC::OutPort<IIS::TimedPose2D> statePort_;
    IIS::TimedVelocity2D velocityOut_{};
    RTC::OutPort<IIS::TimedVelocity2D> velocityPort_;
    ZYK::TimedPersonsGlobalPosition personsOut_{};
    RTC::OutPort<ZYK::TimedPersonsGlobalPosition> personsPort_;
    MRFC::TimedPeopleTrackingData peopleOut_{};
    RTC::OutPort<MRFC::TimedPeopleTrackingData> peoplePort_;

    RTC::CorbaPort absoluteMapPort_;
    RTC::CorbaPort relativeMapPort_;
    RTC::CorbaPort areaInfoPort_;
    AbsoluteMapServiceSVC_impl absoluteMapService_;
    RelativeMapServiceSVC_impl relativeMapService_;
    AreaInfoServiceSVC_impl areaInfoService_;
    std::mutex observerLock_;  // guards observer_
    std::function<void(const vostrel::SimulationRun&, bool)> observer_;
    std::unique_ptr<vostrel::RunView> view_;  // the live view, when rtc.conf asks for one
};

// Registers the component factory with the profile; exported so another manager can load it.
extern "C" void VostrelInit(RTC::Manager* manager);
