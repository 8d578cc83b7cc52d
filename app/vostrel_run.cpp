// vostrel-run: a closed-loop experiment in lock step, headless and as fast as the machine
// allows. Starts a naming service (unless one is given), the simulator with a
// SimulatorExecutionContext and the simulated clock, and a controller component; connects
// them, makes the controller a participant of the simulator's context, ticks it N times (each
// tick runs the simulator, then the controller), and stops everything it started.
#include <CLI/CLI.hpp>
#include <omniORB4/Naming.hh>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/child_process.hpp"
#include "app/metrics_report.hpp"
#include "platform/c_random.hpp"
#include "rtc/idl/ExtTrigExecutionContextService.hh"
#include "rtc/naming_manager.hpp"
#include "rtc/port_lookup.hpp"
#include "sim/config_file.hpp"
#include "sim/configuration.hpp"
#include "web/serve_address.hpp"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using vostrel::ChildProcess;

constexpr const char* kVostrelName = "Vostrel0";
// The follower's ports, connected when the controller is the example follower.
const std::vector<std::string> kFollowerPorts{"peopledata:peopledata", "velocity:robotControlInfo"};

std::atomic<bool> g_interrupted{false};
extern "C" void onInterrupt(int) {
    g_interrupted = true;
}

struct Options {
    std::string controller;
    std::string controllerName = "Follower0";
    std::string controllerConf;
    std::vector<std::string> ports;
    std::string vostrel;
    std::string field;
    std::vector<std::string> sets;
    std::string configFile;
    int cycles = 100;
    std::uint32_t period = 100;
    std::optional<std::uint32_t> seed;
    int threads = 0;  // 0: the component's default, the machine's cores
    std::string outputFile;
    std::string metricsFile;
    std::string framesDir;
    std::string ns;
    int callTimeout = 3000;
    std::string logDir;
    std::string serve;
};

struct Failure : std::runtime_error {
    Failure(const std::string& what, int code = 1) : std::runtime_error(what), code(code) {}
    int code;
};

std::string absolute(const std::string& path) {
    return path.empty() ? path : fs::absolute(path).lexically_normal().string();
}

std::string besideMe(const std::string& name) {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? name : (self.parent_path() / name).string();
}

int freePort() {
    // Bind port 0 and give it back: the naming service takes it a moment later.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    int port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    if (fd >= 0) ::close(fd);
    return port;
}

std::string tail(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
        if (lines.size() > 15) lines.erase(lines.begin());
    }
    std::string out;
    for (const auto& l : lines) out += "  | " + l + "\n";
    return out;
}

class Run {
  public:
    explicit Run(const Options& o) : o_(o) {}
    ~Run() { stopAll(); }
    int execute();

  private:
    void startNaming();
    void startVostrel();
    void startController();
    CORBA::Object_ptr resolve(const std::string& name);
    RTC::RTObject_ptr await(const std::string& name, ChildProcess& process);
    void awaitConnections(RTC::RTObject_ptr comp, const std::string& port, ChildProcess& process);
    void stopAll();
    std::string died(ChildProcess& p, const std::string& what);

    const Options& o_;
    std::string dir_;
    std::string ns_;
    CORBA::ORB_var orb_;
    ChildProcess naming_;
    ChildProcess vostrel_;
    ChildProcess controller_;
};

std::string Run::died(ChildProcess& p, const std::string& what) {
    return what + " (pid " + std::to_string(p.pid()) + ") has ended; its console, " + p.log() +
           ":\n" + tail(p.log());
}

CORBA::Object_ptr Run::resolve(const std::string& name) {
    try {
        CORBA::Object_var obj =
            orb_->string_to_object(("corbaname::" + ns_ + "#" + name + ".rtc").c_str());
        return obj._retn();
    } catch (const CORBA::Exception&) {
        return CORBA::Object::_nil();
    }
}

RTC::RTObject_ptr Run::await(const std::string& name, ChildProcess& process) {
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (std::chrono::steady_clock::now() < deadline && !g_interrupted) {
        if (!process.running()) throw Failure(died(process, name));
        try {
            CORBA::Object_var obj = resolve(name);
            RTC::RTObject_var comp = RTC::RTObject::_narrow(obj.in());
            if (!CORBA::is_nil(comp.in())) return comp._retn();
        } catch (const CORBA::Exception&) {
        }
        std::this_thread::sleep_for(50ms);
    }
    throw Failure(name + " did not appear on the naming service " + ns_ + "; see " + process.log());
}

void Run::startNaming() {
    if (!o_.ns.empty()) {
        ns_ = rtc::withNamingPort(o_.ns);
        return;
    }
    const std::string data = dir_ + "/naming";
    for (int attempt = 0; attempt < 5; ++attempt) {
        // omniNames -start refuses a data directory with an earlier run's files.
        fs::remove_all(data);
        fs::create_directories(data);
        const int port = freePort();
        const std::string p = std::to_string(port);
        naming_ =
            ChildProcess("/usr/bin/omniNames",
                         {"-start", p, "-datadir", data, "-ORBendPoint", "giop:tcp:127.0.0.1:" + p},
                         dir_, dir_ + "/omniNames.log");
        ns_ = "127.0.0.1:" + p;
        for (int i = 0; i < 100 && naming_.running(); ++i) {
            CosNaming::NamingContext_var ctx = rtc::namingRootAt(orb_.in(), ns_);
            if (!CORBA::is_nil(ctx.in())) return;
            std::this_thread::sleep_for(50ms);
        }
        naming_.stop();
    }
    throw Failure("could not start a naming service (omniNames) on 127.0.0.1; see " + dir_ +
                  "/omniNames.log");
}

void Run::startVostrel() {
    std::vector<std::string> args{"-f", "/dev/null"};
    auto set = [&](const std::string& key, const std::string& value) {
        args.insert(args.end(), {"-o", key + ":" + value});
    };
    set("corba.nameservers", ns_);
    set("corba.endpoints", "127.0.0.1");
    set("naming.formats", "%n.rtc");
    set("corba.args", "-ORBclientCallTimeOutPeriod " + std::to_string(o_.callTimeout));
    set("exec_cxt.periodic.type", "SimulatorExecutionContext");
    // A tick sleeps out the rest of the period: make the period too short to matter.
    set("exec_cxt.periodic.rate", "1000000");
    set("vostrel.clock", "simulated");
    set("vostrel.clock.step_ms", std::to_string(o_.period));
    set("vostrel.seed", std::to_string(*o_.seed));
    if (o_.threads > 0) set("vostrel.threads", std::to_string(o_.threads));
    set("vostrel.display.window", "NO");
    if (o_.framesDir.empty())
        set("vostrel.display", "NO");
    else
        set("vostrel.display.frames", absolute(o_.framesDir));
    if (!o_.outputFile.empty()) set("vostrel.output", absolute(o_.outputFile));
    if (!o_.serve.empty()) {
        // The simulator serves the view; its console goes to the log, so the address is said here.
        std::string error;
        const vostrel::ServeAddress at = *vostrel::parseServeAddress(o_.serve, error);
        set("vostrel.web.address", at.host);
        set("vostrel.web.port", std::to_string(at.port));
        std::cerr << "vostrel-run: live view at " << at.url() << "\n";
    }
    set("vostrel.metrics", dir_ + "/metrics.json");
    if (!o_.configFile.empty()) set("Simulato.Vostrel.config_file", absolute(o_.configFile));
    for (const std::string& s : o_.sets) {
        const auto eq = s.find('=');
        set("Simulato.Vostrel.conf.default." + s.substr(0, eq), s.substr(eq + 1));
    }
    if (!o_.field.empty()) set("Simulato.Vostrel.conf.default.FieldDataFile", absolute(o_.field));
    // In the caller's directory, like vostrel-sim: relative paths in --config resolve there.
    vostrel_ = ChildProcess(o_.vostrel, args, "", dir_ + "/vostrel.log");
}

void Run::startController() {
    std::vector<std::string> args{
        "-f", o_.controllerConf.empty() ? "/dev/null" : absolute(o_.controllerConf)};
    auto set = [&](const std::string& key, const std::string& value) {
        args.insert(args.end(), {"-o", key + ":" + value});
    };
    set("corba.nameservers", ns_);
    set("corba.endpoints", "127.0.0.1");
    set("naming.formats", "%n.rtc");
    // Its own context is never ticked: it runs only as the simulator's participant.
    set("exec_cxt.periodic.type", "ExtTrigExecutionContext");
    set("manager.components.preactivation", "");
    if (!o_.ports.empty()) {
        std::string connections;
        for (const std::string& pair : o_.ports) {
            const auto colon = pair.find(':');
            connections += (connections.empty() ? "" : ",") + o_.controllerName + "." +
                           pair.substr(0, colon) + "?port=rtcname://" + ns_ + "/" + kVostrelName +
                           "." + pair.substr(colon + 1) + "&subscription_type=flush";
        }
        set("manager.components.preconnect", connections);
    }
    controller_ = ChildProcess(o_.controller, args, dir_, dir_ + "/" + o_.controllerName + ".log");
}

void Run::awaitConnections(RTC::RTObject_ptr comp, const std::string& port, ChildProcess& process) {
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (std::chrono::steady_clock::now() < deadline && !g_interrupted) {
        if (!process.running()) throw Failure(died(process, o_.controllerName));
        RTC::PortServiceList_var list = comp->get_ports();
        for (CORBA::ULong i = 0; i < list->length(); ++i) {
            RTC::PortProfile_var p = list[i]->get_port_profile();
            const std::string name = static_cast<const char*>(p->name);
            if (rtc::portAnswersTo(name, port) && p->connector_profiles.length() > 0) return;
        }
        std::this_thread::sleep_for(50ms);
    }
    throw Failure(std::string(kVostrelName) + "." + port + " was not connected by " +
                  o_.controllerName + "; see " + controller_.log());
}

void Run::stopAll() {
    controller_.stop();
    vostrel_.stop();
    naming_.stop();
}

int Run::execute() {
    dir_ = o_.logDir;
    if (dir_.empty()) {
        std::string tmpl = (fs::temp_directory_path() / "vostrel-run.XXXXXX").string();
        if (::mkdtemp(tmpl.data()) == nullptr) throw Failure("cannot create a temporary directory");
        dir_ = tmpl;
    }
    fs::create_directories(dir_);
    dir_ = absolute(dir_);

    int argc = 3;
    const std::string timeout = std::to_string(o_.callTimeout + 120000);
    const char* argv[] = {"vostrel-run", "-ORBclientCallTimeOutPeriod", timeout.c_str(), nullptr};
    orb_ = CORBA::ORB_init(argc, const_cast<char**>(argv));

    const auto begin = std::chrono::steady_clock::now();
    startNaming();
    startVostrel();
    RTC::RTObject_var sim = await(kVostrelName, vostrel_);
    startController();
    RTC::RTObject_var ctl = await(o_.controllerName, controller_);
    for (const std::string& pair : o_.ports)
        awaitConnections(sim.in(), pair.substr(pair.find(':') + 1), controller_);

    RTC::ExecutionContextList_var owned = sim->get_owned_contexts();
    if (owned->length() == 0) throw Failure(std::string(kVostrelName) + " owns no context");
    OpenRTM::ExtTrigExecutionContextService_var ec =
        OpenRTM::ExtTrigExecutionContextService::_narrow(owned[0u].in());
    if (CORBA::is_nil(ec.in())) throw Failure("the simulator's context cannot be ticked");
    if (ec->add_component(ctl.in()) != RTC::RTC_OK)
        throw Failure(o_.controllerName + " could not join the simulator's context");
    if (ec->activate_component(sim.in()) != RTC::RTC_OK)
        throw Failure("the simulator did not activate; see " + vostrel_.log(), 2);
    if (ec->activate_component(ctl.in()) != RTC::RTC_OK)
        throw Failure(o_.controllerName + " did not activate; see " + controller_.log());

    // A controller that hangs or dies is dropped by the context; find out when.
    std::optional<int> lostAt;
    bool controllerDied = false;
    bool simulatorFailed = false;
    const auto slow = std::chrono::milliseconds(o_.callTimeout / 2);
    const auto loopBegin = std::chrono::steady_clock::now();
    int cycle = 0;
    while (cycle < o_.cycles && !g_interrupted) {
        const auto t0 = std::chrono::steady_clock::now();
        ec->tick();
        ++cycle;
        if (!lostAt) {
            const bool gone = !controller_.running();
            if (gone || std::chrono::steady_clock::now() - t0 > slow) {
                if (ec->get_component_state(ctl.in()) == RTC::CREATED_STATE) lostAt = cycle;
                controllerDied = gone;
            }
        }
        if (cycle % 100 == 0 && ec->get_component_state(sim.in()) != RTC::ACTIVE_STATE) {
            simulatorFailed = true;
            break;
        }
    }
    const double loopSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - loopBegin).count();
    if (!simulatorFailed && ec->get_component_state(sim.in()) != RTC::ACTIVE_STATE)
        simulatorFailed = true;
    if (!lostAt && ec->get_component_state(ctl.in()) == RTC::CREATED_STATE) lostAt = cycle;
    controllerDied = controllerDied || !controller_.running();

    // The simulator first: its deactivation cycle must not step the simulation again.
    ec->deactivate_component(sim.in());
    if (!lostAt) ec->deactivate_component(ctl.in());

    nlohmann::json metrics;
    {
        std::ifstream in(dir_ + "/metrics.json");
        try {
            in >> metrics;
        } catch (const std::exception&) {
            metrics = nlohmann::json::object();
        }
    }
    metrics["controller"] = {
        {"name", o_.controllerName},
        {"status", !lostAt          ? "ran"
                   : controllerDied ? "died"
                                    : "did not answer"},
        {"lost_at_cycle", lostAt ? nlohmann::json(*lostAt) : nlohmann::json(nullptr)}};
    stopAll();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();

    std::cout << '\n';
    vostrel::printMetrics(std::cout, vostrel::summaryFromJson(metrics));
    std::cout << "  controller                    : " << o_.controllerName << " "
              << metrics["controller"]["status"].get<std::string>();
    if (lostAt) std::cout << " (dropped from the context at cycle " << *lostAt << ")";
    std::cout << std::endl;
    std::cerr << "vostrel-run: " << cycle << " cycles ("
              << cycle * static_cast<double>(o_.period) / 1000.0 << " s simulated) in "
              << loopSeconds << " s, " << seconds << " s with start and stop; logs in " << dir_
              << "\n";
    if (!o_.metricsFile.empty()) {
        std::ofstream out(o_.metricsFile);
        out << metrics.dump(2) << "\n";
        if (!out) throw Failure("cannot write " + o_.metricsFile);
    }
    if (g_interrupted) return 130;
    if (simulatorFailed) {
        std::cerr << "vostrel-run: the simulation stopped: the crowd step failed; see "
                  << vostrel_.log() << ":\n"
                  << tail(vostrel_.log());
        return 2;
    }
    if (lostAt) {
        std::cerr << "vostrel-run: controller " << o_.controllerName
                  << (controllerDied ? " died" : " did not answer within the call timeout")
                  << " at cycle " << *lostAt << " and was dropped from the context; its console, "
                  << controller_.log() << ":\n"
                  << tail(controller_.log());
        if (controllerDied) return 2;
    }
    if (o_.logDir.empty() && !lostAt) fs::remove_all(dir_);
    return 0;
}

// The same checks vostrel-sim makes, so that a typo fails here and not inside the component.
bool validate(Options& o) {
    vostrel::Configuration config;
    if (!o.configFile.empty() && !vostrel::readConfigFile(o.configFile, config, std::cerr))
        return false;
    for (const std::string& set : o.sets) {
        const auto eq = set.find('=');
        std::string error;
        if (eq == std::string::npos) {
            std::cerr << "vostrel-run: --set " << set << ": expected KEY=VALUE\n";
            return false;
        }
        if (!vostrel::setParameter(config, set.substr(0, eq), set.substr(eq + 1), error)) {
            std::cerr << "vostrel-run: --set " << set << ": " << error << "\n";
            return false;
        }
    }
    for (const std::string& pair : o.ports) {
        if (pair.find(':') == std::string::npos) {
            std::cerr << "vostrel-run: --connect " << pair
                      << ": expected CONTROLLER_PORT:SIMULATOR_PORT\n";
            return false;
        }
    }
    if (!o.field.empty() && !fs::exists(o.field)) {
        std::cerr << "vostrel-run: --field " << o.field << ": no such file\n";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "vostrel-run: runs the simulator and a controller component in lock step, "
        "headless and as fast as the machine allows. Each cycle the simulator's "
        "execution context runs the simulator, then the controller."};
    Options o;
    o.controller = besideMe("follower");
    o.vostrel = besideMe("vostrel");
    app.add_option("--controller", o.controller,
                   "Controller component executable (framework options -f, -o)")
        ->capture_default_str();
    app.add_option("--controller-name", o.controllerName, "Instance name the controller registers")
        ->capture_default_str();
    app.add_option("--controller-conf", o.controllerConf,
                   "The controller's rtc.conf (its manager.components.preconnect is used when "
                   "no --connect is given)")
        ->check(CLI::ExistingFile);
    auto* connect = app.add_option("--connect", o.ports,
                                   "Connect CONTROLLER_PORT:SIMULATOR_PORT (repeatable; default "
                                   "for the example follower: peopledata:peopledata and "
                                   "velocity:robotControlInfo)");
    app.add_option("--vostrel", o.vostrel, "The simulator executable")->capture_default_str();
    app.add_option("--field", o.field, "Environment file");
    app.add_option("--set", o.sets, "Set a component parameter, KEY=VALUE; repeatable");
    app.add_option("--config", o.configFile,
                   "Component configuration file with conf.default.KEY: VALUE lines")
        ->check(CLI::ExistingFile);
    app.add_option("--cycles", o.cycles, "Number of cycles")
        ->capture_default_str()
        ->check(CLI::NonNegativeNumber);
    app.add_option("--period", o.period, "Simulated milliseconds per cycle")
        ->capture_default_str()
        ->check(CLI::Range(1u, 1000000u));
    app.add_option("--seed", o.seed,
                   "Seed of the random sequence (default: calendar time, "
                   "printed so that the run can be repeated)");
    app.add_option("--threads", o.threads,
                   "Threads for the crowd's parallel work (default: the machine's cores); "
                   "results are the same for every count")
        ->check(CLI::Range(1, 1024));
    app.add_option("--output", o.outputFile,
                   "Write the five port samples of every cycle as JSON lines to this file");
    app.add_option("--metrics", o.metricsFile, "Write the run's metrics to this file as JSON");
    app.add_option("--frames", o.framesDir, "Write a PNG of the display per cycle here");
    app.add_option("--serve", o.serve,
                   "Serve the live view in a browser at [ADDR:]PORT (address 127.0.0.1 unless "
                   "given; a port of 1..65535)")
        ->check([](const std::string& text) {
            std::string error;
            const auto at = vostrel::parseServeAddress(text, error);
            if (at && at->port == 0) return std::string("--serve needs a port other than 0");
            return at ? std::string() : error;
        });
    app.add_option("--ns", o.ns, "Use this naming service (HOST:PORT) instead of starting one");
    app.add_option("--call-timeout", o.callTimeout,
                   "Milliseconds the simulator waits for a controller call before dropping it")
        ->capture_default_str()
        ->check(CLI::Range(10, 600000));
    app.add_option("--logs", o.logDir,
                   "Keep the consoles of the processes here (default: a temporary directory, "
                   "removed after a clean run)");
    CLI11_PARSE(app, argc, argv);

    if (connect->count() == 0 && fs::path(o.controller).filename() == "follower")
        o.ports = kFollowerPorts;
    if (!validate(o)) return 1;
    if (!o.seed) {
        o.seed = vostrel::calendarSeed();
        std::cerr << "vostrel-run: random seed " << *o.seed << " (repeat with --seed)\n";
    }
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    try {
        Run run(o);
        return run.execute();
    } catch (const Failure& e) {
        std::cerr << "vostrel-run: " << e.what() << "\n";
        return e.code;
    } catch (const CORBA::Exception& e) {
        std::cerr << "vostrel-run: CORBA " << e._name() << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "vostrel-run: " << e.what() << "\n";
        return 1;
    }
}
