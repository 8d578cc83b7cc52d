#include "component/vostrel.hpp"

#include <cstdlib>
#include <iostream>
#include <vector>

#include "component/wire_records.hpp"
#include "display/debug_image_writer.hpp"
#include "display/run_display.hpp"
#include "sim/field_file.hpp"

namespace {

using vostrel::Configuration;
using vostrel::Parameter;

vostrel::RunOptions runOptions() {
    vostrel::RunOptions options;
    options.debugImages = std::make_shared<vostrel::DebugImageWriter>();
    return options;
}

// Display settings outside the component's parameters: rtc.conf keys of this process.
std::unique_ptr<vostrel::RunDisplay> displayOf(RTC::Manager* manager) {
    vostrel::RunDisplayOptions options;
    const coil::Properties& conf = manager->getConfig();
    const std::string window = conf.getProperty("vostrel.display.window", "YES");
    options.window.show = window == "YES" || window == "yes" || window == "1";
    options.window.frameDirectory = conf.getProperty("vostrel.display.frames", "");
    options.annotation =
        vostrel::annotationOptions(conf.getProperty("vostrel.display.annotate", "NO"),
                                   conf.getProperty("vostrel.display.trails", "0"), std::cerr);
    // Batch runs without window or frames skip the drawing altogether.
    const std::string display = conf.getProperty("vostrel.display", "YES");
    if (display == "NO" || display == "no" || display == "0") return nullptr;
    return std::make_unique<vostrel::RunDisplay>(std::move(options), std::cerr);
}

vostrel::CycleClock cycleClock(RTC::Manager* manager) {
    const coil::Properties& conf = manager->getConfig();
    return vostrel::CycleClock(
        conf.getProperty("vostrel.clock"), conf.getProperty("vostrel.clock.step_ms"),
        std::atof(conf.getProperty("exec_cxt.periodic.rate").c_str()), std::cerr);
}

template <class T>
void bind(RTC::DataFlowComponentBase& c, const Parameter& p, Configuration& config) {
    c.bindParameter(p.key, config.*std::get<T Configuration::*>(p.field), p.defaultText);
}

}  // namespace

Vostrel::Vostrel(RTC::Manager* manager)
    : RTC::DataFlowComponentBase(manager),
      clock_(cycleClock(manager)),
      seed_(vostrel::SeedChoice::from(manager->getConfig().getProperty("vostrel.seed", ""),
                                      vostrel::calendarSeed())),
      threads_(vostrel::CrowdThreads::fromText(
          manager->getConfig().getProperty("vostrel.threads", ""), "vostrel.threads", std::cerr)),
      display_(displayOf(manager)),
      run_(clock_, realClock_, std::cout, std::cerr, seed_.seed, runOptions()),
      commandPort_("robotControlInfo", commandIn_),
      rangePort_("rangedata", rangeOut_),
      statePort_("robot_state", stateOut_),
      velocityPort_("robot_velocity", velocityOut_),
      personsPort_("persons", personsOut_),
      peoplePort_("peopledata", peopleOut_),
      absoluteMapPort_("AbsoluteMapService"),
      relativeMapPort_("RelativeMapService"),
      areaInfoPort_("AreaInfoService"),
      absoluteMapService_(run_),
      relativeMapService_(run_),
      areaInfoService_(run_, clock_) {
    run_.setPublisher([this](const vostrel::CycleOutputs& o) { writeOutputs(o); });
    if (display_) run_.addObserver(*display_);
    std::cerr << seed_.line << std::flush;  // after the banner, which the run printed
    const coil::Properties& conf = manager->getConfig();
    view_ = vostrel::openRunView(run_, conf.getProperty(vostrel::kWebAddressKey, ""),
                                 conf.getProperty(vostrel::kWebPortKey, "0"), std::cerr, "vostrel");
}

Vostrel::~Vostrel() = default;

RTC::ReturnCode_t Vostrel::onInitialize() {
    addInPort("robotControlInfo", commandPort_);
    addOutPort("rangedata", rangePort_);
    addOutPort("robot_state", statePort_);
    addOutPort("robot_velocity", velocityPort_);
    addOutPort("persons", personsPort_);
    addOutPort("peopledata", peoplePort_);

    absoluteMapPort_.registerProvider("AbsoluteMapService", "MRFC::AbsoluteMapService",
                                      absoluteMapService_);
    relativeMapPort_.registerProvider("RelativeMapService", "MRFC::RelativeMapService",
                                      relativeMapService_);
    areaInfoPort_.registerProvider("AreaInfoService", "ZYK::AreaInfoService", areaInfoService_);
    addPort(absoluteMapPort_);
    addPort(relativeMapPort_);
    addPort(areaInfoPort_);

    for (const Parameter& p : vostrel::parameters()) {
        switch (p.type) {
            case vostrel::ParameterType::String:
                bind<std::string>(*this, p, config_);
                break;
            case vostrel::ParameterType::Double:
                bind<double>(*this, p, config_);
                break;
            case vostrel::ParameterType::Int:
            case vostrel::ParameterType::Long:
                bind<std::int32_t>(*this, p, config_);
                break;
        }
    }
    // A relative FieldDataFile may lie next to the configuration file that names it.
    run_.setFieldFolders(vostrel::foldersOf(getProperties().getProperty("config_file")));
    return RTC::RTC_OK;
}

RTC::ReturnCode_t Vostrel::onActivated(RTC::UniqueId) {
    try {
        run_.activate(config_, [this] { return activationAbandoned(); });
    } catch (const vostrel::BuildCancelled&) {
        std::cerr << "Activation abandoned: the spatial network was not built within the "
                     "activation time limit (exec_cxt.activation_timeout)."
                  << std::endl;
        return RTC::RTC_ERROR;
    }
    std::cout.flush();
    return RTC::RTC_OK;
}

RTC::ReturnCode_t Vostrel::onExecute(RTC::UniqueId) {
    std::optional<vostrel::VelocityCommand> command;
    if (commandPort_.isNew()) {
        commandPort_.read();
        command =
            vostrel::VelocityCommand{commandIn_.data.vx, commandIn_.data.vy, commandIn_.data.va};
    }
    clock_.startCycle();
    // An error of the crowd step leaves here and sends the component to its error state.
    run_.execute(config_, command, commandPort_.lastOrigin());
    if (run_.active()) observe(false);
    std::cout.flush();  // the console is the log: lines must reach a file or pipe at once
    return RTC::RTC_OK;
}

void Vostrel::writeOutputs(const vostrel::CycleOutputs& o) {
    vostrel::wire::copy(o.robotState, stateOut_);
    statePort_.write();
    vostrel::wire::copy(o.robotVelocity, velocityOut_);
    velocityPort_.write();
    vostrel::wire::copy(o.persons, personsOut_);
    personsPort_.write();
    vostrel::wire::copy(o.peopleData, peopleOut_);
    peoplePort_.write();
    vostrel::wire::copy(o.rangeData, rangeOut_);
    rangePort_.write();
}

void Vostrel::observe(bool ended) {
    std::lock_guard lock(observerLock_);
    if (observer_) observer_(run_, ended);
}

RTC::ReturnCode_t Vostrel::onDeactivated(RTC::UniqueId) {
    observe(true);
    run_.deactivate();
    std::cout.flush();
    return RTC::RTC_OK;
}

extern "C" void VostrelInit(RTC::Manager* manager) {
    const std::vector<std::string>& profile = vostrel::componentProfile();
    std::vector<const char*> keys;
    keys.reserve(profile.size());
    for (const std::string& s : profile) keys.push_back(s.c_str());
    coil::Properties properties(keys.data());
    manager->registerFactory(properties, RTC::Create<Vostrel>, RTC::Delete<Vostrel>);
}
