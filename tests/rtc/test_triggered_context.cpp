// Externally triggered execution contexts, driven from the test the way a simulator and its
// tools drive them: peers in separate processes, ticks over CORBA.

#include "rtc/idl/ExtTrigExecutionContextService.hh"
#include "tests/rtc/rtc_test_env.hpp"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

using namespace std::chrono_literals;

namespace {

class TriggeredContext : public ::testing::Test {
  protected:
    void SetUp() override { logDir_ = rtctest::makeTempDir(); }
    void TearDown() override {
        for (auto& peer : peers_) {
            if (peer.pid() > 0) {
                peer.stop();
            }
        }
        peers_.clear();
        std::error_code ec;
        std::filesystem::remove_all(logDir_, ec);
    }

    RTC::RTObject_ptr start(const std::string& instance, const std::string& type,
                            std::vector<std::string> options = {}) {
        options.insert(options.end(), {"-o", "exec_cxt.periodic.type:" + type});
        peers_.push_back(rtctest::startPeer(&ns_, instance, options, logDir_));
        RTC::RTObject_ptr comp = rtctest::resolveComponent(ns_, instance);
        EXPECT_FALSE(CORBA::is_nil(comp)) << "component " << instance << " not found";
        return comp;
    }

    static OpenRTM::ExtTrigExecutionContextService_ptr triggered(RTC::RTObject_ptr comp) {
        RTC::ExecutionContextService_var ec = rtctest::ownedContext(comp);
        return OpenRTM::ExtTrigExecutionContextService::_narrow(ec.in());
    }

    static void connect(RTC::RTObject_ptr from, RTC::RTObject_ptr to) {
        RTC::PortService_var out = rtctest::findPort(from, "out");
        RTC::PortService_var in = rtctest::findPort(to, "in");
        RTC::ConnectorProfile prof;
        ASSERT_EQ(rtctest::connectPorts({out.in(), in.in()},
                                        {{"dataport.dataflow_type", "push"},
                                         {"dataport.interface_type", "corba_cdr"},
                                         {"dataport.subscription_type", "flush"}},
                                        prof),
                  RTC::RTC_OK);
    }

    std::string logDir_;
    rtctest::NameServer ns_;
    std::vector<rtctest::Process> peers_;
};

const std::string kMode = "test.RtcTestPeer.conf.default.mode:";

std::vector<std::string> events(RtcTest::Probe_ptr probe) {
    RtcTest::Strings_var list = probe->events();
    std::vector<std::string> out;
    for (CORBA::ULong i = 0; i < list->length(); ++i) {
        out.emplace_back(list[i]);
    }
    return out;
}

// The simulator's context runs the owner and then a participant of another process in every
// tick, so a sample the owner writes reaches the participant in the same tick.
TEST_F(TriggeredContext, SimulatorTickRunsOwnerThenRemoteParticipantInLockStep) {
    RTC::RTObject_var sim = start("Sim0", "SimulatorExecutionContext", {"-o", kMode + "send"});
    RTC::RTObject_var ctl = start("Ctl0", "ExtTrigExecutionContext", {"-o", kMode + "recv"});
    connect(sim.in(), ctl.in());
    OpenRTM::ExtTrigExecutionContextService_var ec = triggered(sim.in());
    ASSERT_FALSE(CORBA::is_nil(ec.in()));
    EXPECT_EQ(ec->get_kind(), RTC::PERIODIC);
    RtcTest::Probe_var simProbe = rtctest::probeOf(sim.in());
    RtcTest::Probe_var ctlProbe = rtctest::probeOf(ctl.in());
    ctlProbe->clearEvents();

    ASSERT_EQ(ec->add_component(ctl.in()), RTC::RTC_OK);
    RTC::ExecutionContextProfile_var profile = ec->get_profile();
    EXPECT_EQ(rtctest::stringProperty(profile->properties, "type"), "SimulatorExecutionContext");
    ASSERT_EQ(profile->participants.length(), 1u);
    EXPECT_TRUE(profile->participants[0]->_is_equivalent(ctl.in()));

    // Transitions take effect inside the call, without a tick.
    ASSERT_EQ(ec->activate_component(sim.in()), RTC::RTC_OK);
    ASSERT_EQ(ec->activate_component(ctl.in()), RTC::RTC_OK);
    EXPECT_EQ(ec->activate_component(ctl.in()), RTC::PRECONDITION_NOT_MET);
    EXPECT_EQ(ec->get_component_state(ctl.in()), RTC::ACTIVE_STATE);
    EXPECT_EQ(events(ctlProbe.in()), std::vector<std::string>{"onActivated@other"});
    EXPECT_EQ(simProbe->cycles(), 0);

    for (int tick = 1; tick <= 20; ++tick) {
        ec->tick();
        ASSERT_EQ(simProbe->cycles(), tick);
        ASSERT_EQ(ctlProbe->cycles(), tick);
        ASSERT_EQ(ctlProbe->lastLong().data, tick) << "participant ran before the owner";
    }
    // The participant's own context is never ticked, so it never runs there.
    RTC::ExecutionContextService_var own = rtctest::ownedContext(ctl.in());
    EXPECT_EQ(own->get_component_state(ctl.in()), RTC::INACTIVE_STATE);

    // Deactivation runs one whole cycle: the owner leaves, the participant still executes.
    ASSERT_EQ(ec->deactivate_component(sim.in()), RTC::RTC_OK);
    EXPECT_EQ(simProbe->cycles(), 20);
    EXPECT_EQ(ctlProbe->cycles(), 21);
    ASSERT_EQ(ec->deactivate_component(ctl.in()), RTC::RTC_OK);
    EXPECT_EQ(ec->get_component_state(ctl.in()), RTC::INACTIVE_STATE);

    // Ticks on a stopped context do nothing.
    ASSERT_EQ(ec->activate_component(ctl.in()), RTC::RTC_OK);
    ASSERT_EQ(ec->stop(), RTC::RTC_OK);
    ec->tick();
    EXPECT_EQ(ctlProbe->cycles(), 21);
    ASSERT_EQ(ec->start(), RTC::RTC_OK);
    ec->tick();
    EXPECT_EQ(ctlProbe->cycles(), 22);
}

// OpenHRP: transitions wait for the next tick, which also runs that cycle's callbacks.
// ExtTrig: a tick returns at once and the context's own thread runs the cycle; activation
// requests wake it by themselves.
TEST_F(TriggeredContext, OpenHrpTransitionsWaitForATickAndExtTrigWakesItsThread) {
    RTC::RTObject_var hrp =
        start("Hrp0", "OpenHRPExecutionContext", {"-o", "exec_cxt.sync_transition:NO"});
    OpenRTM::ExtTrigExecutionContextService_var hrpEc = triggered(hrp.in());
    RtcTest::Probe_var hrpProbe = rtctest::probeOf(hrp.in());
    ASSERT_EQ(hrpEc->activate_component(hrp.in()), RTC::RTC_OK);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(hrpEc->get_component_state(hrp.in()), RTC::INACTIVE_STATE);
    hrpEc->tick();
    EXPECT_EQ(hrpEc->get_component_state(hrp.in()), RTC::ACTIVE_STATE);
    EXPECT_EQ(hrpProbe->cycles(), 1);

    RTC::RTObject_var ext = start("Ext0", "ExtTrigExecutionContext");
    OpenRTM::ExtTrigExecutionContextService_var extEc = triggered(ext.in());
    RtcTest::Probe_var extProbe = rtctest::probeOf(ext.in());
    ASSERT_EQ(extEc->activate_component(ext.in()), RTC::RTC_OK);  // synchronous: woke it
    EXPECT_EQ(extProbe->cycles(), 1);
    for (int i = 0; i < 5; ++i) {
        extEc->tick();
        ASSERT_TRUE(rtctest::waitFor([&] { return extProbe->cycles() == 2 + i; }, 5s));
    }
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(extProbe->cycles(), 6) << "ran without a tick";
    ASSERT_EQ(extEc->stop(), RTC::RTC_OK);
    extEc->tick();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(extProbe->cycles(), 6);
}

// A participant that hangs costs one call timeout and is dropped; one that dies is dropped at
// once. The owner goes on ticking in both cases.
TEST_F(TriggeredContext, HungOrDeadParticipantIsDroppedAndTheOwnerRunsOn) {
    RTC::RTObject_var sim =
        start("Sim1", "SimulatorExecutionContext",
              {"-o", kMode + "send", "-o", "corba.args:-ORBclientCallTimeOutPeriod 500"});
    RTC::RTObject_var slow = start("Slow0", "ExtTrigExecutionContext");
    RTC::RTObject_var dead = start("Dead0", "ExtTrigExecutionContext");
    OpenRTM::ExtTrigExecutionContextService_var ec = triggered(sim.in());
    RtcTest::Probe_var simProbe = rtctest::probeOf(sim.in());
    for (RTC::RTObject_ptr p : {sim.in(), slow.in(), dead.in()}) {
        if (p != sim.in()) {
            ASSERT_EQ(ec->add_component(p), RTC::RTC_OK);
        }
        ASSERT_EQ(ec->activate_component(p), RTC::RTC_OK);
    }
    ec->tick();
    ASSERT_EQ(simProbe->cycles(), 1);

    peers_[2].kill9();
    {
        SDOPackage::Configuration_var conf = slow->get_configuration();
        SDOPackage::ConfigurationSet set;
        set.id = "default";
        set.description = "";
        set.configuration_data.length(1);
        set.configuration_data[0].name = "hold_ms";
        set.configuration_data[0].value <<= "3000";
        ASSERT_TRUE(conf->set_configuration_set_values(set));
        ASSERT_TRUE(conf->activate_configuration_set("default"));
    }
    ec->tick();  // the slow one takes its new setting at the end of this cycle
    const auto begin = std::chrono::steady_clock::now();
    ec->tick();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 2s);
    ec->tick();
    ec->tick();
    EXPECT_EQ(simProbe->cycles(), 5);
    EXPECT_EQ(ec->get_component_state(slow.in()), RTC::CREATED_STATE);
    EXPECT_EQ(ec->get_component_state(dead.in()), RTC::CREATED_STATE);
    RTC::ExecutionContextProfile_var profile = ec->get_profile();
    EXPECT_EQ(profile->participants.length(), 0u);
    std::this_thread::sleep_for(3s);  // let the slow one finish before it is stopped
}

// vostrel-ctl attaches a component of another process and ticks the context by name; a
// component on its own timer cannot be ticked.
TEST_F(TriggeredContext, CtlAttachesAndTicks) {
    RTC::RTObject_var sim = start("Sim2", "SimulatorExecutionContext");
    RTC::RTObject_var ctl = start("Ctl2", "ExtTrigExecutionContext");
    RTC::RTObject_var own = start("Own2", "PeriodicExecutionContext");
    auto run = [&](const std::string& args, std::string& out) {
        const std::string file = logDir_ + "/ctl.out";
        const int status = std::system((std::string(VOSTREL_CTL) + " --ns " + ns_.address() + " " +
                                        args + " >" + file + " 2>&1")
                                           .c_str());
        std::ifstream in(file);
        out.assign(std::istreambuf_iterator<char>(in), {});
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    std::string out;
    ASSERT_EQ(run("attach Sim2 Ctl2", out), 0) << out;
    EXPECT_EQ(out, "RTC_OK\n");
    EXPECT_EQ(run("attach Sim2 Ctl2", out), 1) << out;  // already a participant
    RTC::ExecutionContextService_var ec = rtctest::ownedContext(sim.in());
    ASSERT_EQ(ec->activate_component(ctl.in()), RTC::RTC_OK);
    RtcTest::Probe_var probe = rtctest::probeOf(ctl.in());
    ASSERT_EQ(run("tick Sim2 3", out), 0) << out;
    ASSERT_EQ(run("tick Sim2", out), 0) << out;
    EXPECT_EQ(probe->cycles(), 4);
    EXPECT_EQ(run("tick Own2", out), 1);
    EXPECT_NE(out.find("Own2 runs on its own timer"), std::string::npos) << out;
}

}  // namespace
