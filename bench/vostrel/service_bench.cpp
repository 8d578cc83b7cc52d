// Service call latencies against a running component process (station sample, 10 Hz cycle),
// over CORBA on 127.0.0.1.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "MRFC.hh"
#include "OrvoGlobalPlanning.hh"
#include "bench/vostrel/service_link.hpp"
#include "rtc/rtc.hpp"
#include "tests/rtc/rtc_test_env.hpp"

namespace {

using namespace std::chrono_literals;

struct Running {
    Running() : dir(rtctest::makeTempDir()) {
        const char* argv[] = {"bench_vostrel",
                              "-o",
                              "corba.endpoints:127.0.0.1:",
                              "-o",
                              "naming.enable:NO",
                              "-ORBgiopMaxMsgSize",
                              "33554432",
                              nullptr};
        RTC::Manager* m = RTC::Manager::init(7, const_cast<char**>(argv));
        m->activateManager();
        std::ofstream(dir + "/vostrel.conf")
            << "conf.default.FieldDataFile: " VOSTREL_SOURCE_DIR "/examples/station.txt\n"
            << "conf.default.robot_init_x: 20\nconf.default.robot_init_y: 5\n";
        std::ofstream(dir + "/rtc.conf")
            << "corba.nameservers: " << ns.address() << "\ncorba.endpoints: 127.0.0.1:\n"
            << "exec_cxt.periodic.rate: 10\nmanager.components.preactivation: Vostrel0\n"
            << "Simulato.Vostrel.config_file: " << dir << "/vostrel.conf\n"
            << "vostrel.display.window: NO\n";
        process = rtctest::Process(VOSTREL_EXE, {"-f", dir + "/rtc.conf"}, dir + "/console.txt");
        comp = rtctest::resolveComponent(ns, "Vostrel0");
        absolute = connect<MRFC::AbsoluteMapService>(absoluteConsumer, "AbsoluteMapService",
                                                     "MRFC::AbsoluteMapService");
        relative = connect<MRFC::RelativeMapService>(relativeConsumer, "RelativeMapService",
                                                     "MRFC::RelativeMapService");
        areas =
            connect<ZYK::AreaInfoService>(areaConsumer, "AreaInfoService", "ZYK::AreaInfoService");
        rtctest::waitFor([] { return false; }, 2s);  // let the crowd fill up a little
    }
    ~Running() { process.stop(); }

    template <class S>
    typename S::_ptr_type connect(RTC::CorbaConsumer<S>& consumer, const char* port,
                                  const char* type) {
        return benchlink::linkService(comp.in(), port, type, consumer, ports);
    }

    std::string dir;
    rtctest::NameServer ns;
    rtctest::Process process;
    RTC::RTObject_var comp;
    std::vector<std::unique_ptr<RTC::CorbaPort>> ports;  // kept for the process's life
    RTC::CorbaConsumer<MRFC::AbsoluteMapService> absoluteConsumer;
    RTC::CorbaConsumer<MRFC::RelativeMapService> relativeConsumer;
    RTC::CorbaConsumer<ZYK::AreaInfoService> areaConsumer;
    MRFC::AbsoluteMapService_var absolute;
    MRFC::RelativeMapService_var relative;
    ZYK::AreaInfoService_var areas;
};

Running& running() {
    static Running* r = new Running;  // left to the process's end: the ORB outlives main
    return *r;
}

void BM_GetAreaInfo(benchmark::State& state) {
    Running& r = running();
    for (auto _ : state) ZYK::TimedAreaInfo_var v = r.areas->getAreaInfo();
}
BENCHMARK(BM_GetAreaInfo)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_GetAbsoluteOGMap200x200(benchmark::State& state) {
    Running& r = running();
    for (auto _ : state)
        MRFC::TimedAbsoluteOGMapData_var v = r.absolute->getAbsoluteOGMap(10, 0, 200, 200);
}
BENCHMARK(BM_GetAbsoluteOGMap200x200)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_GetWholeFloatAbsoluteOGMap(benchmark::State& state) {
    Running& r = running();
    for (auto _ : state)
        MRFC::TimedFloatAbsoluteOGMapData_var v = r.absolute->getFloatAbsoluteOGMap(0, 0, 401, 201);
}
BENCHMARK(BM_GetWholeFloatAbsoluteOGMap)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_GetRelativeOGMap(benchmark::State& state) {
    Running& r = running();
    for (auto _ : state) MRFC::TimedRelativeOGMapData_var v = r.relative->getRelativeOGMap();
}
BENCHMARK(BM_GetRelativeOGMap)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_GetFloatRelativeOGMap(benchmark::State& state) {
    Running& r = running();
    for (auto _ : state)
        MRFC::TimedFloatRelativeOGMapData_var v = r.relative->getFloatRelativeOGMap();
}
BENCHMARK(BM_GetFloatRelativeOGMap)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
