// Long run of the component under a realistic load: the station sample at 50 Hz, the
// example follower driving the robot, four service clients and a subscriber counting the
// cycles. Samples the component's memory every 30 s into a CSV and prints a summary with
// the goals: RSS growth after the warm-up below 1 %, no errors, cycles within 0.1 % of
// elapsed time x rate. Everything runs on 127.0.0.1 with its own naming service.

#include "IIS2.hh"
#include "MRFC.hh"
#include "OrvoGlobalPlanning.hh"
#include "bench/vostrel/service_link.hpp"
#include "rtc/rtc.hpp"
#include "tests/rtc/rtc_test_env.hpp"

#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct Settings {
    double minutes = 60;
    double warmupMinutes = 5;
    double rate = 50;
    double sampleSeconds = 30;
    double clientRate = 20;  // calls per second and client
    std::string csv = "soak.csv";
    std::string field = VOSTREL_SOURCE_DIR "/examples/station.txt";
};

const char* const kUsage =
    "Usage: soak_vostrel [--minutes M] [--warmup M] [--rate HZ] [--sample S] [--client-rate HZ]\n"
    "                    [--csv FILE] [--field FILE]\n"
    "Runs the component (station sample, 50 Hz) with the example follower, four service\n"
    "clients and a cycle-counting subscriber for M minutes (default 60), all on 127.0.0.1\n"
    "with a naming service of its own. Every S seconds (default 30) writes elapsed time,\n"
    "the component's RSS, cycles, service calls and errors to the CSV (default soak.csv).\n"
    "Ends with a summary: RSS growth after the warm-up (default 5 min; goal < 1 %),\n"
    "errors (goal 0), cycles against elapsed time x rate (goal within 0.1 %).\n"
    "Exit status 0 when every goal is met, 1 otherwise, 2 for a usage error.\n";

bool parseArgs(int argc, char** argv, Settings& s) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "-h" || a == "--help") {
            std::cout << kUsage;
            std::exit(0);
        }
        if (i + 1 >= argc) {
            std::cerr << "soak: " << a << " needs a value\n" << kUsage;
            return false;
        }
        std::string v = argv[++i];
        char* end = nullptr;
        double number = std::strtod(v.c_str(), &end);
        bool numeric = end != v.c_str() && *end == '\0' && number > 0;
        double* target = a == "--minutes"       ? &s.minutes
                         : a == "--warmup"      ? &s.warmupMinutes
                         : a == "--rate"        ? &s.rate
                         : a == "--sample"      ? &s.sampleSeconds
                         : a == "--client-rate" ? &s.clientRate
                                                : nullptr;
        if (target != nullptr) {
            if (!numeric) {
                std::cerr << "soak: " << a << " needs a positive number, not '" << v << "'\n";
                return false;
            }
            *target = number;
        } else if (a == "--csv") {
            s.csv = v;
        } else if (a == "--field") {
            s.field = v;
        } else {
            std::cerr << "soak: unknown option " << a << "\n" << kUsage;
            return false;
        }
    }
    return true;
}

long rssKb(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return -1;
}

// Counts the component's cycles by the robot_state samples it publishes, one per cycle.
class CycleCounter {
  public:
    explicit CycleCounter(RTC::RTObject_ptr comp) : port_("state", value_) {
        port_.attach(RTC::RTObject::_nil(), "Soak0");
        RTC::PortService_var theirs = rtctest::findPort(comp, "robot_state");
        RTC::PortService_var ours = port_.getPortRef();
        RTC::ConnectorProfile prof;
        rtctest::connectPorts({theirs.in(), ours.in()},
                              {{"dataport.dataflow_type", "push"},
                               {"dataport.interface_type", "corba_cdr"},
                               // Every sample, without holding the component's cycle.
                               {"dataport.subscription_type", "new"},
                               {"dataport.publisher.push_policy", "all"},
                               {"dataport.outport.buffer.length", "100000"},
                               {"dataport.inport.buffer.length", "100000"}},
                              prof);
        thread_ = std::thread([this] {
            while (!stop_) {
                std::this_thread::sleep_for(5ms);
                long n = 0;
                while (port_.isNew()) {
                    port_.read();
                    ++n;
                }
                count_ += n;
            }
        });
    }
    ~CycleCounter() {
        stop_ = true;
        thread_.join();
        port_.detach();
    }
    long count() const { return count_; }

  private:
    IIS::TimedPose2D value_{};
    RTC::InPort<IIS::TimedPose2D> port_;
    std::atomic<long> count_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A client calling one service at a fixed pace; an exception counts as an error.
class Client {
  public:
    Client(double rate, std::function<void()> call) {
        thread_ = std::thread([this, rate, call = std::move(call)] {
            auto period = std::chrono::duration_cast<Clock::duration>(
                std::chrono::duration<double>(1.0 / rate));
            auto next = Clock::now();
            while (!stop_) {
                try {
                    call();
                    ++calls_;
                } catch (const CORBA::Exception& e) {
                    ++errors_;
                    std::cerr << "soak: service call failed: " << e._name() << std::endl;
                }
                next += period;
                std::this_thread::sleep_until(next);
            }
        });
    }
    ~Client() {
        stop_ = true;
        thread_.join();
    }
    long calls() const { return calls_; }
    long errors() const { return errors_; }

  private:
    std::atomic<bool> stop_{false};
    std::atomic<long> calls_{0};
    std::atomic<long> errors_{0};
    std::thread thread_;
};

std::atomic<bool> g_interrupted{false};

}  // namespace

int main(int argc, char** argv) {
    Settings s;
    if (!parseArgs(argc, argv, s)) {
        return 2;
    }
    std::signal(SIGINT, [](int) { g_interrupted = true; });
    std::signal(SIGTERM, [](int) { g_interrupted = true; });

    const char* margv[] = {"soak", "-o", "corba.endpoints:127.0.0.1:", "-o", "naming.enable:NO",
                           nullptr};
    RTC::Manager* manager = RTC::Manager::init(5, const_cast<char**>(margv));
    manager->activateManager();

    std::string dir = rtctest::makeTempDir();
    rtctest::NameServer ns;
    std::string nsAddr = ns.address();
    std::ofstream(dir + "/vostrel.conf") << "conf.default.FieldDataFile: " << s.field << "\n"
                                         << "conf.default.robot_init_x: 20\n"
                                         << "conf.default.robot_init_y: 5\n";
    std::ofstream(dir + "/rtc.conf") << "corba.nameservers: " << nsAddr << "\n"
                                     << "corba.endpoints: 127.0.0.1:\n"
                                     << "naming.formats: %n.rtc, %h.host_cxt/%n.rtc\n"
                                     << "exec_cxt.periodic.rate: " << s.rate << "\n"
                                     << "manager.components.preactivation: Vostrel0\n"
                                     << "Simulato.Vostrel.config_file: " << dir << "/vostrel.conf\n"
                                     << "vostrel.display.window: NO\n";
    std::ofstream(dir + "/follower.conf")
        << "corba.nameservers: " << nsAddr << "\n"
        << "corba.endpoints: 127.0.0.1:\n"
        << "naming.formats: %n.rtc\n"
        << "exec_cxt.periodic.rate: 20\n"
        << "manager.components.preconnect: Follower0.peopledata?port=rtcname://" << nsAddr
        << "/Vostrel0.peopledata&subscription_type=new, Follower0.velocity?port=rtcname://"
        << nsAddr << "/Vostrel0.robotControlInfo\n"
        << "manager.components.preactivation: Follower0\n";

    rtctest::Process vostrel(VOSTREL_EXE, {"-f", dir + "/rtc.conf"}, dir + "/vostrel.log");
    RTC::RTObject_var comp = rtctest::resolveComponent(ns, "Vostrel0", 60s);
    if (CORBA::is_nil(comp.in())) {
        std::cerr << "soak: the component did not come up; see " << dir << "/vostrel.log\n";
        return 1;
    }
    rtctest::Process follower(FOLLOWER_EXE, {"-f", dir + "/follower.conf"}, dir + "/follower.log");

    std::vector<std::unique_ptr<RTC::CorbaPort>> ports;
    RTC::CorbaConsumer<MRFC::AbsoluteMapService> absoluteC;
    RTC::CorbaConsumer<MRFC::RelativeMapService> relativeC;
    RTC::CorbaConsumer<ZYK::AreaInfoService> areaC;
    MRFC::AbsoluteMapService_var absolute = benchlink::linkService(
        comp.in(), "AbsoluteMapService", "MRFC::AbsoluteMapService", absoluteC, ports);
    MRFC::RelativeMapService_var relative = benchlink::linkService(
        comp.in(), "RelativeMapService", "MRFC::RelativeMapService", relativeC, ports);
    ZYK::AreaInfoService_var areas =
        benchlink::linkService(comp.in(), "AreaInfoService", "ZYK::AreaInfoService", areaC, ports);
    RTC::ExecutionContextService_var ec = rtctest::ownedContext(comp.in());
    if (!rtctest::waitFor([&] { return ec->get_component_state(comp.in()) == RTC::ACTIVE_STATE; },
                          60s)) {
        std::cerr << "soak: the component did not become ACTIVE; see " << dir << "/vostrel.log\n";
        return 1;
    }

    CycleCounter cycles(comp.in());
    std::vector<std::unique_ptr<Client>> clients;
    clients.push_back(std::make_unique<Client>(
        s.clientRate, [&] { ZYK::TimedAreaInfo_var v = areas->getAreaInfo(); }));
    clients.push_back(std::make_unique<Client>(s.clientRate, [&] {
        MRFC::TimedAbsoluteOGMapData_var v = absolute->getAbsoluteOGMap(10, 0, 200, 200);
    }));
    clients.push_back(std::make_unique<Client>(
        s.clientRate, [&] { MRFC::TimedRelativeOGMapData_var v = relative->getRelativeOGMap(); }));
    clients.push_back(std::make_unique<Client>(s.clientRate, [&] {
        MRFC::TimedFloatRelativeOGMapData_var v = relative->getFloatRelativeOGMap();
    }));

    std::ofstream csv(s.csv);
    csv << "elapsed_s,rss_kb,cycles,calls,errors\n";
    std::cout << "soak: " << s.minutes << " min at " << s.rate << " Hz; samples in " << s.csv
              << "; logs in " << dir << std::endl;

    long stateErrors = 0;
    long processErrors = 0;
    auto totals = [&](long& calls, long& errors) {
        calls = 0;
        errors = stateErrors + processErrors;
        for (const auto& c : clients) {
            calls += c->calls();
            errors += c->errors();
        }
    };
    // The cycle count is measured from the first sample on, when the counter has started.
    auto start = Clock::now();
    long cyclesAtStart = cycles.count();
    long rssAfterWarmup = -1;
    long rssLast = -1;
    auto end = start + std::chrono::duration_cast<Clock::duration>(
                           std::chrono::duration<double>(s.minutes * 60));
    auto nextSample = start;
    while (!g_interrupted) {
        auto now = Clock::now();
        if (now >= nextSample || now >= end) {
            double elapsed = std::chrono::duration<double>(now - start).count();
            try {
                if (ec->get_component_state(comp.in()) != RTC::ACTIVE_STATE) {
                    ++stateErrors;
                    std::cerr << "soak: the component is not ACTIVE" << std::endl;
                }
            } catch (const CORBA::Exception& e) {
                ++stateErrors;
                std::cerr << "soak: state query failed: " << e._name() << std::endl;
            }
            for (auto* p : {&vostrel, &follower}) {
                if (!p->running()) {
                    ++processErrors;
                    std::cerr << "soak: process " << p->pid() << " has ended" << std::endl;
                }
            }
            long calls = 0;
            long errors = 0;
            totals(calls, errors);
            rssLast = rssKb(vostrel.pid());
            if (rssAfterWarmup < 0 && elapsed >= s.warmupMinutes * 60) {
                rssAfterWarmup = rssLast;
            }
            csv << std::fixed << elapsed << ',' << rssLast << ',' << cycles.count() - cyclesAtStart
                << ',' << calls << ',' << errors << std::endl;
            nextSample += std::chrono::duration_cast<Clock::duration>(
                std::chrono::duration<double>(s.sampleSeconds));
            if (now >= end || processErrors > 0) {
                break;
            }
        }
        std::this_thread::sleep_for(100ms);
    }
    double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    long counted = cycles.count() - cyclesAtStart;
    long calls = 0;
    long errors = 0;
    totals(calls, errors);
    clients.clear();
    std::string load;
    std::getline(std::ifstream("/proc/loadavg"), load);

    double expected = elapsed * s.rate;
    double cycleDeviation = 100.0 * (counted - expected) / expected;
    double growth = rssAfterWarmup > 0 ? 100.0 * (rssLast - rssAfterWarmup) / rssAfterWarmup : NAN;
    bool ok =
        errors == 0 && std::fabs(cycleDeviation) <= 0.1 && (std::isnan(growth) || growth < 1.0);
    std::printf("elapsed          %.1f s\n", elapsed);
    std::printf("rss after warmup %ld kB, at the end %ld kB, growth %+.2f %% (goal < 1 %%)\n",
                rssAfterWarmup, rssLast, growth);
    std::printf("errors           %ld (goal 0), service calls %ld\n", errors, calls);
    std::printf("cycles           %ld, expected %.0f, %+.3f %% (goal within 0.1 %%)\n", counted,
                expected, cycleDeviation);
    // A machine busier than its cores makes cycles overrun; those deadlines are skipped.
    std::printf("load average     %s (%u cores)\n", load.c_str(),
                std::thread::hardware_concurrency());
    std::printf("result           %s\n", ok ? "all goals met" : "goals missed");
    std::fflush(stdout);

    follower.stop();
    vostrel.stop();
    // The component's own cycle times (printed as it ends) tell overruns from a busy machine.
    std::ifstream log(dir + "/vostrel.log");
    bool times = false;
    for (std::string line; std::getline(log, line);) {
        times = times || line.find("per cycle") != std::string::npos;
        if (times) {
            std::printf("component        %s\n", line.c_str());
        }
    }
    std::fflush(stdout);
    std::_Exit(ok ? 0 : 1);  // the ORB and its threads end with the process
}
