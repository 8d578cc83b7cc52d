// Round trips to a peer process built on the runtime: one flush write of a 480-element
// scan to its in-port, and one 40 000-cell map service call.

#include "rtc/rtc.hpp"
#include "tests/rtc/rtc_test_env.hpp"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>

namespace {

struct PeerLink {
    PeerLink() {
        dir = rtctest::makeTempDir();
        const char* argv[] = {"bench_rtc",        "-o",   "corba.endpoints:127.0.0.1:", "-o",
                              "naming.enable:NO", nullptr};
        RTC::Manager* manager = RTC::Manager::init(5, const_cast<char**>(argv));
        manager->activateManager();
        peer = rtctest::startPeer(nullptr, "Bench0",
                                  {"-o", "naming.ior_file:" + dir + "/%n.ior", "-o",
                                   "test.RtcTestPeer.conf.default.mode:recv"},
                                  dir);
        std::string iorPath = dir + "/Bench0.ior";
        rtctest::waitFor([&] { return std::filesystem::exists(iorPath); },
                         std::chrono::seconds(10));
        std::ifstream in(iorPath);
        std::string ior;
        in >> ior;
        CORBA::ORB_var orb = manager->getORB();
        CORBA::Object_var obj = orb->string_to_object(ior.c_str());
        comp = RTC::RTObject::_narrow(obj.in());
        probe = rtctest::probeOf(comp.in());
        RTC::PortService_var inPort = rtctest::findPort(comp.in(), "seqin");

        scan.data.length(480);
        for (CORBA::ULong i = 0; i < 480; ++i) {
            scan.data[i] = 1.0 + i * 0.01;
        }
        // Ports need a running ORB, so this one is made after the manager.
        out = std::make_unique<RTC::OutPort<RTC::TimedDoubleSeq>>("scan", scan);
        out->attach(RTC::RTObject::_nil(), "BenchSender0");
        RTC::PortService_var outRef = out->getPortRef();
        RTC::ConnectorProfile prof;
        rtctest::connectPorts({outRef.in(), inPort.in()},
                              {{"dataport.dataflow_type", "push"},
                               {"dataport.interface_type", "corba_cdr"},
                               {"dataport.subscription_type", "flush"}},
                              prof);
    }
    ~PeerLink() {
        out->detach();
        peer.stop();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    std::string dir;
    rtctest::Process peer;
    RTC::RTObject_var comp;
    RtcTest::Probe_var probe;
    RTC::TimedDoubleSeq scan{};
    std::unique_ptr<RTC::OutPort<RTC::TimedDoubleSeq>> out;
};

PeerLink& link() {
    static PeerLink instance;
    return instance;
}

void BM_WriteScan480ToRemoteInPort(benchmark::State& state) {
    PeerLink& l = link();
    for (auto _ : state) {
        l.scan.tm.sec++;
        if (!l.out->write()) {
            state.SkipWithError("write failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 480 * 8);
}
BENCHMARK(BM_WriteScan480ToRemoteInPort)->Unit(benchmark::kMicrosecond);

void BM_MapServiceCall40000Cells(benchmark::State& state) {
    PeerLink& l = link();
    for (auto _ : state) {
        RtcTest::Octets_var map = l.probe->map(40000);
        benchmark::DoNotOptimize(map->get_buffer());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 40000);
}
BENCHMARK(BM_MapServiceCall40000Cells)->Unit(benchmark::kMicrosecond);

}  // namespace
