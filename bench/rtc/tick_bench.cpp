// What lock step costs: one tick() of a SimulatorExecutionContext over CORBA, with the owner
// alone and with one participant in a third process. Both components are idle test peers, so
// the difference is the overhead of the remote participant (its on_execute and
// on_state_update calls).

#include "rtc/idl/ExtTrigExecutionContextService.hh"
#include "tests/rtc/rtc_test_env.hpp"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

namespace {

class Peer {
  public:
    Peer(const std::string& dir, const std::string& name, const std::string& type)
        : process_(rtctest::startPeer(
              nullptr, name,
              {"-o", "naming.ior_file:" + dir + "/%n.ior", "-o", "exec_cxt.periodic.type:" + type,
               "-o", "exec_cxt.periodic.rate:1000000"},
              dir)) {
        const std::string ior = dir + "/" + name + ".ior";
        rtctest::waitFor([&] { return std::filesystem::exists(ior); }, std::chrono::seconds(10));
        std::ifstream in(ior);
        std::string text;
        in >> text;
        CORBA::Object_var obj = rtctest::orb()->string_to_object(text.c_str());
        comp = RTC::RTObject::_narrow(obj.in());
    }
    ~Peer() { process_.stop(); }

    RTC::RTObject_var comp;

  private:
    rtctest::Process process_;
};

void tick(benchmark::State& state, bool withParticipant) {
    const std::string dir = rtctest::makeTempDir();
    {
        Peer owner(dir, "Owner0", "SimulatorExecutionContext");
        Peer participant(dir, "Participant0", "ExtTrigExecutionContext");
        RTC::ExecutionContextService_var ec = rtctest::ownedContext(owner.comp.in());
        OpenRTM::ExtTrigExecutionContextService_var trig =
            OpenRTM::ExtTrigExecutionContextService::_narrow(ec.in());
        ec->activate_component(owner.comp.in());
        if (withParticipant) {
            ec->add_component(participant.comp.in());
            ec->activate_component(participant.comp.in());
        }
        for (auto _ : state) {
            trig->tick();
        }
        ec->deactivate_component(owner.comp.in());
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

void BM_TickOwnerAlone(benchmark::State& state) {
    tick(state, false);
}
void BM_TickWithOneRemoteParticipant(benchmark::State& state) {
    tick(state, true);
}
BENCHMARK(BM_TickOwnerAlone)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_TickWithOneRemoteParticipant)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
