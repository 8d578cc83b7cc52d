// The demo's closed loop as users run it: the simulator and the example follower as two
// processes on a naming service of the test's own, the station sample, a fixed seed, one
// minute in real time. This process only watches, through ports of its own connected to
// the simulator's outputs, and judges what the robot did with the person it follows.

#include "IIS2.hh"
#include "MRFC.hh"
#include "rtc/rtc.hpp"
#include "tests/rtc/rtc_test_env.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <regex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
const std::string kSource = VOSTREL_SOURCE_DIR;
constexpr double kPi = std::numbers::pi;

// A seed whose followed person walks, queues and stays in the hall for the whole minute.
constexpr int kSeed = 21;
constexpr double kRunS = 60;
constexpr double kSettleS = 10;

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}

// This process's manager, for the watching ports only.
void startManager() {
    static RTC::Manager* m = [] {
        const char* argv[] = {"test_follow_station", "-o",   "corba.endpoints:127.0.0.1:", "-o",
                              "naming.enable:NO",    nullptr};
        RTC::Manager* made = RTC::Manager::init(5, const_cast<char**>(argv));
        made->activateManager();
        return made;
    }();
    (void)m;
}

// Components bind at the root of the naming tree here, as in the examples.
RTC::RTObject_ptr resolveAtRoot(rtctest::NameServer& ns, const std::string& instance) {
    RTC::RTObject_var found;
    rtctest::waitFor(
        [&] {
            CosNaming::NamingContext_var root = ns.root();
            CosNaming::Name name;
            name.length(1);
            name[0].id = instance.c_str();
            name[0].kind = "rtc";
            CORBA::Object_var obj = root->resolve(name);
            found = RTC::RTObject::_narrow(obj.in());
            return !CORBA::is_nil(found.in());
        },
        30s);
    return found._retn();
}

RTC::LifeCycleState stateOf(RTC::RTObject_ptr comp) {
    RTC::ExecutionContextService_var ec = rtctest::ownedContext(comp);
    return ec->get_component_state(comp);
}

std::size_t connections(RTC::RTObject_ptr comp, const std::string& port) {
    RTC::PortService_var p = rtctest::findPort(comp, port);
    RTC::ConnectorProfileList_var list = p->get_connector_profiles();
    return list->length();
}

// An in-port of this process on one of the simulator's out-ports.
template <class T>
struct Watch {
    T sample{};
    RTC::InPort<T> port;
    Watch(RTC::RTObject_ptr comp, const std::string& theirs)
        : port(("watch_" + theirs).c_str(), sample) {
        port.attach(RTC::RTObject::_nil(), "Watcher0");
        RTC::PortService_var their = rtctest::findPort(comp, theirs);
        RTC::PortService_var mine = port.getPortRef();
        RTC::ConnectorProfile prof;
        EXPECT_EQ(rtctest::connectPorts({their.in(), mine.in()},
                                        {{"dataport.dataflow_type", "push"},
                                         {"dataport.interface_type", "corba_cdr"},
                                         {"dataport.subscription_type", "new"}},
                                        prof),
                  RTC::RTC_OK)
            << theirs;
    }
    ~Watch() { port.detach(); }
};

double seconds(const RTC::Time& t) {
    return t.sec + t.nsec * 1e-9;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? NAN : v[v.size() / 2];
}

TEST(FollowOnStation, TheRobotStaysWithItsPersonAndFacesThem) {
    startManager();
    rtctest::NameServer ns;
    const std::string dir = rtctest::makeTempDir();
    // The demo's station settings; the environment named absolutely, as the test does not
    // run from the repository root.
    std::ofstream(dir + "/vostrel.conf")
        << "conf.default.FieldDataFile: " << kSource << "/examples/station.txt\n"
        << "conf.default.robot_init_x: 20.0\nconf.default.robot_init_y: 3.0\n"
        << "conf.default.robot_init_heading: 270.0\nconf.default.following_target_id: 2\n"
        << "conf.default.simulate_skip: 2\n";
    // Inactive at first: the loop starts once the follower is connected.
    std::ofstream(dir + "/rtc.conf") << "corba.nameservers: " << ns.address() << "\n"
                                     << "corba.endpoints: 127.0.0.1\n"
                                     << "naming.formats: %n.rtc\n"
                                     << "exec_cxt.periodic.rate: 10\n"
                                     << "Simulato.Vostrel.config_file: " << dir << "/vostrel.conf\n"
                                     << "vostrel.display.window: NO\n"
                                     << "vostrel.seed: " << kSeed << "\n";
    rtctest::Process vostrel(VOSTREL_EXE, {"-f", dir + "/rtc.conf"}, dir + "/vostrel.log");
    RTC::RTObject_var sim = resolveAtRoot(ns, "Vostrel0");
    ASSERT_FALSE(CORBA::is_nil(sim.in())) << slurp(dir + "/vostrel.log");
    EXPECT_NE(slurp(dir + "/vostrel.log")
                  .find("vostrel: random seed " + std::to_string(kSeed) + " (vostrel.seed)\n"),
              std::string::npos)
        << slurp(dir + "/vostrel.log");

    // The follower on its example configuration, with this naming service's address.
    coil::Properties conf;
    std::ifstream in(kSource + "/examples/follower.conf");
    conf.load(in);
    const std::string preconnect =
        std::regex_replace(conf.getProperty("manager.components.preconnect"),
                           std::regex("127\\.0\\.0\\.1:2809"), ns.address());
    rtctest::Process follower(
        FOLLOWER,
        {"-f", kSource + "/examples/follower.conf", "-o", "corba.nameservers:" + ns.address(), "-o",
         "manager.components.preconnect:" + preconnect},
        dir + "/follower.log");
    RTC::RTObject_var fol = resolveAtRoot(ns, "Follower0");
    ASSERT_FALSE(CORBA::is_nil(fol.in())) << slurp(dir + "/follower.log");
    ASSERT_TRUE(rtctest::waitFor(
        [&] {
            return stateOf(fol.in()) == RTC::ACTIVE_STATE &&
                   connections(sim.in(), "peopledata") == 1 &&
                   connections(sim.in(), "robotControlInfo") == 1;
        },
        30s))
        << slurp(dir + "/follower.log");

    Watch<MRFC::TimedPeopleTrackingData> people(sim.in(), "peopledata");
    Watch<IIS::TimedPose2D> state(sim.in(), "robot_state");
    RTC::ExecutionContextService_var ec = rtctest::ownedContext(sim.in());
    // Activation builds the station's network and outlasts the context's wait for it; the
    // answer is then an error although the activation goes on.
    const RTC::ReturnCode_t activated = ec->activate_component(sim.in());
    ASSERT_TRUE(activated == RTC::RTC_OK || activated == RTC::RTC_ERROR) << activated;
    ASSERT_TRUE(rtctest::waitFor([&] { return stateOf(sim.in()) == RTC::ACTIVE_STATE; }, 60s))
        << slurp(dir + "/vostrel.log");

    // Samples by the simulator's own stamps, from its first cycle.
    std::vector<double> distance, bearing;  // after the first kSettleS, while followed
    double closest = 1e9;
    std::string nearest;  // what the simulator told in the closest second
    std::vector<std::string> lastSecond;
    std::vector<std::pair<double, double>> heading;  // (time, unwrapped heading)
    double start = -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(180);
    double now = 0;
    while (now < kRunS && std::chrono::steady_clock::now() < deadline && vostrel.running()) {
        while (people.port.isNew()) {
            people.port.read();
            const double t = seconds(people.sample.tm);
            if (start < 0) start = t;
            now = t - start;
            const MRFC::PeopleTrackingData& d = people.sample.data;
            if (d.id < 0 || static_cast<CORBA::ULong>(d.id) >= d.person.length()) continue;
            const RTC::Point3D& p = d.person[static_cast<CORBA::ULong>(d.id)].position;
            char line[160];
            const RTC::Velocity2D& v = d.person[static_cast<CORBA::ULong>(d.id)].velocity;
            std::snprintf(
                line, sizeof line,
                "%6.1f s: person at (%.2f, %.2f) moving (%.2f, %.2f) in the robot frame\n", now,
                p.x, p.y, v.vx, v.vy);
            lastSecond.push_back(line);
            if (lastSecond.size() > 10) lastSecond.erase(lastSecond.begin());
            if (std::hypot(p.x, p.y) < closest) {
                closest = std::hypot(p.x, p.y);
                nearest.clear();
                for (const std::string& l : lastSecond) nearest += l;
            }
            if (now >= kSettleS) {
                distance.push_back(std::hypot(p.x, p.y));
                bearing.push_back(std::abs(std::atan2(p.y, p.x)));
            }
        }
        while (state.port.isNew()) {
            state.port.read();
            const double h = state.sample.data.heading;
            const double t = seconds(state.sample.tm);
            heading.emplace_back(t, heading.empty()
                                        ? h
                                        : heading.back().second +
                                              std::remainder(h - heading.back().second, 2 * kPi));
        }
        std::this_thread::sleep_for(20ms);
    }
    follower.stop();
    vostrel.stop();

    // The largest turn the robot made in one direction within any 10 s: following turns
    // now this way, now that; a spin adds up.
    double spin = 0;
    for (std::size_t i = 0, j = 0; i < heading.size(); ++i) {
        while (heading[i].first - heading[j].first > 10) ++j;
        spin = std::max(spin, std::abs(heading[i].second - heading[j].second));
    }
    std::size_t facing = static_cast<std::size_t>(
        std::count_if(bearing.begin(), bearing.end(), [](double b) { return b < kPi / 4; }));
    std::printf(
        "follow on station, seed %d: %.0f s, %zu samples after %.0f s with the person; distance "
        "median %.2f m, min %.2f m, max %.2f m; |bearing| median %.1f deg, within 45 deg %.0f%%; "
        "largest turn in 10 s %.1f rad\n",
        kSeed, now, distance.size(), kSettleS, median(distance), closest,
        distance.empty() ? NAN : *std::max_element(distance.begin(), distance.end()),
        median(bearing) * 180 / kPi, 100.0 * facing / std::max<std::size_t>(bearing.size(), 1),
        spin);

    const std::string logs = "\n--- follower:\n" + slurp(dir + "/follower.log");
    EXPECT_GE(now, kRunS - 1) << "the run did not last a minute" << logs;
    // At least half the time after the start the person is there to be followed.
    ASSERT_GE(distance.size(), 250u) << logs;
    EXPECT_LE(median(distance), 2.5);
    EXPECT_GE(closest, 0.5) << nearest;
    EXPECT_LE(median(bearing), 20 * kPi / 180);
    EXPECT_GE(facing, bearing.size() * 9 / 10);
    EXPECT_LT(spin, 2 * kPi);
    std::filesystem::remove_all(dir);
}

}  // namespace
