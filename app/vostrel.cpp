// vostrel: the simulator component process. Options are the framework's (-f rtc.conf,
// -o key:value, -p port, -i, -ORB...); see --help.
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/run_recorder.hpp"
#include "component/vostrel.hpp"

namespace {

constexpr const char* kUsage =
    "Usage: vostrel [-f rtc.conf] [-o key:value]... [-p port] [-i] [-ORBoption value]...\n"
    "Runs the Vostrel robot-and-crowd simulator as an RT-component.\n"
    "  -f FILE        manager configuration (default: ./rtc.conf, then the system places)\n"
    "  -o KEY:VALUE   set one configuration key, e.g. -o corba.nameservers:127.0.0.1:2809\n"
    "  -p PORT        listen on this port\n"
    "  -i             no configuration file is not an error\n"
    "Keys of this component: Simulato.Vostrel.config_file (its parameters, conf.default.*),\n"
    "vostrel.display.window (YES/NO: show the live window), vostrel.display.frames (a\n"
    "directory for a PNG of every cycle), vostrel.clock (real/simulated), vostrel.clock.step_ms,\n"
    "vostrel.seed, vostrel.output (JSON lines of every cycle's samples), vostrel.metrics (the\n"
    "run's metrics as JSON, written at deactivation), vostrel.web.port (the live view in a\n"
    "browser; 0 = off, the default) and vostrel.web.address (default 127.0.0.1). A map service\n"
    "answer may be up to 32 MiB.\n";

// Large maps: the whole float map of a 200 m x 200 m floor at 0.1 m is about 16 MB.
constexpr const char* kMaxMessageSize = "33554432";

void moduleInit(RTC::Manager* manager) {
    VostrelInit(manager);
    RTC::RtcBase* component = manager->createComponent("Vostrel");
    if (component == nullptr) {
        std::cerr << "Component create failed." << std::endl;
        std::abort();
    }
    const coil::Properties& conf = manager->getConfig();
    auto* vostrel = dynamic_cast<Vostrel*>(component);
    if (vostrel != nullptr && (conf.hasKey("vostrel.output") || conf.hasKey("vostrel.metrics"))) {
        auto recorder = std::make_shared<vostrel::RunRecorder>(conf.getProperty("vostrel.output"),
                                                               conf.getProperty("vostrel.metrics"));
        vostrel->setRunObserver([recorder](const vostrel::SimulationRun& run, bool ended) {
            ended ? recorder->finish() : recorder->cycle(run);
        });
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<char*> args(argv, argv + argc);
    bool sizeGiven = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::cout << kUsage;
            return 0;
        }
        if (std::strcmp(argv[i], "-ORBgiopMaxMsgSize") == 0) sizeGiven = true;
    }
    std::string sizeOption = "-ORBgiopMaxMsgSize";
    std::string sizeValue = kMaxMessageSize;
    if (!sizeGiven) {
        args.push_back(sizeOption.data());
        args.push_back(sizeValue.data());
    }
    args.push_back(nullptr);
    RTC::Manager* manager = RTC::Manager::init(static_cast<int>(args.size()) - 1, args.data());
    manager->setModuleInitProc(moduleInit);
    manager->activateManager();
    manager->runManager(false);
    return 0;
}
