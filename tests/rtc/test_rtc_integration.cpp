// Integration: peer processes built on the runtime, found through a naming service the
// test starts itself, driven the way tools and peers drive components.

#include "rtc/naming_manager.hpp"
#include "rtc/port_lookup.hpp"
#include "tests/rtc/rtc_test_env.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>

using namespace std::chrono_literals;
using rtctest::stringProperty;

namespace {

class RtcIntegration : public ::testing::Test {
  protected:
    void SetUp() override { logDir_ = rtctest::makeTempDir(); }
    void TearDown() override {
        // Every peer still running must shut down cleanly on SIGTERM; under the sanitizers
        // this also catches their reports.
        for (auto& peer : peers_) {
            if (peer.pid() > 0) {
                pid_t pid = peer.pid();
                int status = peer.stop();
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
                    << "peer " << pid << " ended with status " << status << "\n"
                    << allLogs();
            }
        }
        peers_.clear();
        ns_.reset();
        std::error_code ec;
        std::filesystem::remove_all(logDir_, ec);
    }

    rtctest::NameServer& ns() {
        if (!ns_) {
            ns_ = std::make_unique<rtctest::NameServer>();
        }
        return *ns_;
    }

    RTC::RTObject_ptr start(const std::string& instance,
                            const std::vector<std::string>& options = {}) {
        peers_.push_back(rtctest::startPeer(&ns(), instance, options, logDir_));
        RTC::RTObject_ptr comp = rtctest::resolveComponent(ns(), instance);
        EXPECT_FALSE(CORBA::is_nil(comp)) << "component " << instance << " not found";
        return comp;
    }

    std::string log(const std::string& instance) {
        std::ifstream in(logDir_ + "/" + instance + ".log");
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    std::string allLogs() {
        std::string out;
        for (const auto& entry : std::filesystem::directory_iterator(logDir_)) {
            if (entry.path().extension() == ".log") {
                std::ifstream in(entry.path());
                std::stringstream ss;
                ss << in.rdbuf();
                out += "--- " + entry.path().filename().string() + "\n" + ss.str();
            }
        }
        return out;
    }

    static void setConf(RTC::RTObject_ptr comp, const std::string& name, const std::string& value,
                        bool activate = true) {
        SDOPackage::Configuration_var conf = comp->get_configuration();
        SDOPackage::ConfigurationSet set;
        set.id = "default";
        set.description = "";
        set.configuration_data.length(1);
        set.configuration_data[0].name = name.c_str();
        set.configuration_data[0].value <<= value.c_str();
        ASSERT_TRUE(conf->set_configuration_set_values(set));
        if (activate) {
            ASSERT_TRUE(conf->activate_configuration_set("default"));
        }
    }

    std::string logDir_;
    std::unique_ptr<rtctest::NameServer> ns_;
    std::vector<rtctest::Process> peers_;
};

const std::vector<std::pair<std::string, std::string>> kPushFlush{
    {"dataport.dataflow_type", "push"},
    {"dataport.interface_type", "corba_cdr"},
    {"dataport.subscription_type", "flush"}};

TEST_F(RtcIntegration, ComponentIsFoundNarrowedAndProfiledAsToolsReadIt) {
    RTC::RTObject_var comp = start("Alpha0");
    ASSERT_FALSE(CORBA::is_nil(comp.in()));
    for (const char* id :
         {"IDL:openrtm.aist.go.jp/OpenRTM/DataFlowComponent:1.0", "IDL:omg.org/RTC/RTObject:1.0",
          "IDL:omg.org/RTC/DataFlowComponent:1.0", "IDL:omg.org/RTC/LightweightRTObject:1.0",
          "IDL:omg.org/RTC/ComponentAction:1.0", "IDL:omg.org/RTC/DataFlowComponentAction:1.0",
          "IDL:org.omg/SDOPackage/SDO:1.0", "IDL:org.omg/SDOPackage/SDOSystemElement:1.0"}) {
        EXPECT_TRUE(comp->_is_a(id)) << id;
    }

    RTC::ComponentProfile_var profile = comp->get_component_profile();
    EXPECT_STREQ(profile->instance_name, "Alpha0");
    EXPECT_STREQ(profile->type_name, "RtcTestPeer");
    EXPECT_STREQ(profile->category, "test");
    EXPECT_TRUE(CORBA::is_nil(profile->parent.in()));
    EXPECT_EQ(stringProperty(profile->properties, "naming.names"),
              rtctest::hostName() + ".host_cxt/Alpha0.rtc");
    EXPECT_EQ(stringProperty(profile->properties, "conf.default.gain"), "1.5");
    EXPECT_EQ(stringProperty(profile->properties, "exec_cxt.periodic.rate"), "100");
    ASSERT_EQ(profile->port_profiles.length(), 5u);

    std::map<std::string, RTC::PortProfile> ports;
    for (CORBA::ULong i = 0; i < profile->port_profiles.length(); ++i) {
        ports[static_cast<const char*>(profile->port_profiles[i].name)] = profile->port_profiles[i];
    }
    const RTC::PortProfile& out = ports.at("Alpha0.out");
    EXPECT_EQ(stringProperty(out.properties, "port.port_type"), "DataOutPort");
    EXPECT_EQ(stringProperty(out.properties, "dataport.data_type"), "IDL:RTC/TimedLong:1.0");
    EXPECT_EQ(stringProperty(out.properties, "dataport.subscription_type"), "flush,new,periodic");
    EXPECT_EQ(stringProperty(out.properties, "dataport.dataflow_type"), "push,pull");
    EXPECT_EQ(stringProperty(out.properties, "dataport.interface_type"), "corba_cdr");
    EXPECT_TRUE(out.owner->_is_equivalent(comp.in()));
    const RTC::PortProfile& seqin = ports.at("Alpha0.seqin");
    EXPECT_EQ(stringProperty(seqin.properties, "port.port_type"), "DataInPort");
    EXPECT_EQ(stringProperty(seqin.properties, "dataport.data_type"), "IDL:RTC/TimedDoubleSeq:1.0");
    EXPECT_EQ(stringProperty(seqin.properties, "dataport.subscription_type"), "Any");
    const RTC::PortProfile& service = ports.at("Alpha0.service");
    EXPECT_EQ(stringProperty(service.properties, "port.port_type"), "CorbaPort");
    ASSERT_EQ(service.interfaces.length(), 1u);
    EXPECT_STREQ(service.interfaces[0].instance_name, "probe");
    EXPECT_STREQ(service.interfaces[0].type_name, "RtcTest::Probe");
    EXPECT_EQ(service.interfaces[0].polarity, RTC::PROVIDED);

    RTC::ExecutionContextList_var owned = comp->get_owned_contexts();
    ASSERT_EQ(owned->length(), 1u);
    RTC::ExecutionContextService_var ec = RTC::ExecutionContextService::_narrow(owned[0].in());
    ASSERT_FALSE(CORBA::is_nil(ec.in()));
    RTC::ExecutionContextProfile_var ecp = ec->get_profile();
    EXPECT_EQ(ecp->kind, RTC::PERIODIC);
    EXPECT_DOUBLE_EQ(ecp->rate, 100.0);
    EXPECT_TRUE(ecp->owner->_is_equivalent(comp.in()));
    EXPECT_EQ(ecp->participants.length(), 0u);
    EXPECT_TRUE(ec->is_running());
    EXPECT_TRUE(comp->is_alive(ec.in()));
    EXPECT_EQ(comp->get_context_handle(ec.in()), 0);
    EXPECT_EQ(ec->get_component_state(comp.in()), RTC::INACTIVE_STATE);
    RTC::ExecutionContextList_var participating = comp->get_participating_contexts();
    EXPECT_EQ(participating->length(), 0u);
    SDOPackage::OrganizationList_var orgs = comp->get_organizations();
    EXPECT_EQ(orgs->length(), 0u);
    SDOPackage::OrganizationList_var ownedOrgs = comp->get_owned_organizations();
    EXPECT_EQ(ownedOrgs->length(), 0u);
    CORBA::String_var sdoId = comp->get_sdo_id();
    EXPECT_STREQ(sdoId.in(), "Alpha0");

    SDOPackage::Configuration_var conf = comp->get_configuration();
    SDOPackage::ConfigurationSetList_var sets = conf->get_configuration_sets();
    std::set<std::string> ids;
    for (CORBA::ULong i = 0; i < sets->length(); ++i) {
        ids.insert(static_cast<const char*>(sets[i].id));
    }
    EXPECT_EQ(ids, (std::set<std::string>{"default", "__widget__", "__constraints__"}));
    SDOPackage::ConfigurationSet_var active = conf->get_active_configuration_set();
    EXPECT_STREQ(active->id, "default");
    EXPECT_EQ(stringProperty(active->configuration_data, "mode"), "idle");
    EXPECT_EQ(stringProperty(active->configuration_data, "seq_len"), "3");
    EXPECT_THROW(conf->activate_configuration_set("__widget__"), SDOPackage::InvalidParameter);
    // The constraints describe the parameters; they are no set to run with.
    EXPECT_THROW(conf->activate_configuration_set("__constraints__"), SDOPackage::InvalidParameter);
    EXPECT_EQ(stringProperty(active->configuration_data, "__constraints__.gain"), "<absent>");
}

class DataFlow : public RtcIntegration, public ::testing::WithParamInterface<bool> {};

TEST_P(DataFlow, FlowsOverAConnectionMadeInEitherPortOrderAndStopsOnDisconnect) {
    const bool outFirst = GetParam();
    RTC::RTObject_var tx = start("Tx0", {"-o", "test.RtcTestPeer.conf.default.mode:send"});
    RTC::RTObject_var rx = start("Rx0", {"-o", "test.RtcTestPeer.conf.default.mode:recv"});
    RTC::PortService_var out = rtctest::findPort(tx.in(), "out");
    RTC::PortService_var in = rtctest::findPort(rx.in(), "in");
    RTC::PortService_var seqOut = rtctest::findPort(tx.in(), "seqout");
    RTC::PortService_var seqIn = rtctest::findPort(rx.in(), "seqin");

    RTC::ConnectorProfile prof;
    auto order = [&](RTC::PortService_ptr a, RTC::PortService_ptr b) {
        return outFirst ? std::vector<RTC::PortService_ptr>{a, b}
                        : std::vector<RTC::PortService_ptr>{b, a};
    };
    ASSERT_EQ(rtctest::connectPorts(order(out.in(), in.in()), kPushFlush, prof), RTC::RTC_OK);
    EXPECT_EQ(std::string(prof.connector_id).size(), 36u);
    EXPECT_EQ(stringProperty(prof.properties, "dataport.serializer.cdr.endian"), "little,big");
    EXPECT_EQ(stringProperty(prof.properties, "dataport.corba_cdr.inport_ior").rfind("IOR:", 0),
              0u);

    RTC::ConnectorProfile seqProf;
    ASSERT_EQ(rtctest::connectPorts(order(seqOut.in(), seqIn.in()),
                                    {{"dataport.dataflow_type", "Push"},
                                     {"dataport.interface_type", "corba_cdr "},
                                     {"dataport.subscription_type", "new"}},
                                    seqProf),
              RTC::RTC_OK);
    // The same two ports again: refused.
    RTC::ConnectorProfile dup;
    EXPECT_EQ(rtctest::connectPorts(order(out.in(), in.in()), kPushFlush, dup),
              RTC::PRECONDITION_NOT_MET);

    RTC::ConnectorProfileList_var onOut = out->get_connector_profiles();
    RTC::ConnectorProfileList_var onIn = in->get_connector_profiles();
    ASSERT_EQ(onOut->length(), 1u);
    ASSERT_EQ(onIn->length(), 1u);
    EXPECT_STREQ(onOut[0].connector_id, prof.connector_id);
    EXPECT_STREQ(onIn[0].connector_id, prof.connector_id);

    RTC::ExecutionContextService_var txEc = rtctest::ownedContext(tx.in());
    RTC::ExecutionContextService_var rxEc = rtctest::ownedContext(rx.in());
    ASSERT_EQ(rxEc->activate_component(rx.in()), RTC::RTC_OK);
    ASSERT_EQ(txEc->activate_component(tx.in()), RTC::RTC_OK);

    RtcTest::Probe_var probe = rtctest::probeOf(rx.in());
    ASSERT_FALSE(CORBA::is_nil(probe.in()));
    ASSERT_TRUE(rtctest::waitFor([&] { return probe->received() >= 5; }, 10s));
    RTC::TimedLong last = probe->lastLong();
    EXPECT_GT(last.data, 0);
    EXPECT_EQ(last.tm.sec, static_cast<CORBA::ULong>(last.data));
    ASSERT_TRUE(rtctest::waitFor(
        [&] { return RTC::TimedDoubleSeq_var(probe->lastSeq())->data.length() == 3; }, 5s));
    RTC::TimedDoubleSeq_var seq = probe->lastSeq();
    EXPECT_DOUBLE_EQ(seq->data[1], seq->data[0] + 0.5);
    EXPECT_DOUBLE_EQ(seq->data[2], seq->data[0] + 1.0);

    // Disconnect from the in-port side; both ends forget the connection and data stops.
    ASSERT_EQ(in->disconnect(prof.connector_id), RTC::RTC_OK);
    onOut = out->get_connector_profiles();
    onIn = in->get_connector_profiles();
    EXPECT_EQ(onOut->length(), 0u);
    EXPECT_EQ(onIn->length(), 0u);
    std::this_thread::sleep_for(200ms);
    CORBA::Long before = probe->received();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(probe->received(), before);
    EXPECT_EQ(seqOut->disconnect(seqProf.connector_id), RTC::RTC_OK);
    EXPECT_EQ(seqIn->disconnect(seqProf.connector_id), RTC::BAD_PARAMETER);
}

INSTANTIATE_TEST_SUITE_P(PortOrder, DataFlow, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "OutFirst" : "InFirst"; });

// A bare InPortCdr served by the test itself, to see the exact bytes a sender puts.
class RecordingSink : public virtual POA_OpenRTM::InPortCdr {
  public:
    OpenRTM::PortStatus put(const OpenRTM::CdrData& data) override {
        std::lock_guard<std::mutex> lock(mutex_);
        last_.assign(data.get_buffer(), data.get_buffer() + data.length());
        return OpenRTM::PORT_OK;
    }
    std::vector<unsigned char> last() {
        std::lock_guard<std::mutex> lock(mutex_);
        return last_;
    }

  private:
    std::mutex mutex_;
    std::vector<unsigned char> last_;
};

TEST_F(RtcIntegration, PayloadBytesAreBareLittleEndianCdr) {
    RTC::RTObject_var tx = start("Fixed0", {"-o", "test.RtcTestPeer.conf.default.mode:fixed"});
    CORBA::ORB_var orb = rtctest::orb();
    CORBA::Object_var poaObj = orb->resolve_initial_references("RootPOA");
    PortableServer::POA_var poa = PortableServer::POA::_narrow(poaObj.in());
    RecordingSink longSink;
    RecordingSink seqSink;
    PortableServer::ObjectId_var longId = poa->activate_object(&longSink);
    PortableServer::ObjectId_var seqId = poa->activate_object(&seqSink);
    CORBA::Object_var longRef = poa->id_to_reference(longId.in());
    CORBA::Object_var seqRef = poa->id_to_reference(seqId.in());

    // Only the sender's port in the list: it reads the sink from the _ior string alone.
    RTC::PortService_var out = rtctest::findPort(tx.in(), "out");
    RTC::PortService_var seqOut = rtctest::findPort(tx.in(), "seqout");
    auto props = kPushFlush;
    props.emplace_back("dataport.corba_cdr.inport_ior",
                       CORBA::String_var(orb->object_to_string(longRef.in())).in());
    RTC::ConnectorProfile prof;
    ASSERT_EQ(rtctest::connectPorts({out.in()}, props, prof), RTC::RTC_OK);
    props.back().second = CORBA::String_var(orb->object_to_string(seqRef.in())).in();
    ASSERT_EQ(rtctest::connectPorts({seqOut.in()}, props, prof), RTC::RTC_OK);

    RTC::ExecutionContextService_var ec = rtctest::ownedContext(tx.in());
    ASSERT_EQ(ec->activate_component(tx.in()), RTC::RTC_OK);
    ASSERT_TRUE(
        rtctest::waitFor([&] { return !longSink.last().empty() && !seqSink.last().empty(); }, 10s));
    EXPECT_EQ(longSink.last(), (std::vector<unsigned char>{1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0}));
    std::vector<unsigned char> seq = seqSink.last();
    ASSERT_EQ(seq.size(), 24u);
    // Bytes 12..15 are alignment padding with undefined content.
    EXPECT_EQ(std::vector<unsigned char>(seq.begin(), seq.begin() + 12),
              (std::vector<unsigned char>{1, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(std::vector<unsigned char>(seq.begin() + 16, seq.end()),
              (std::vector<unsigned char>{0, 0, 0, 0, 0, 0, 0xf0, 0x3f}));
    ec->deactivate_component(tx.in());
    poa->deactivate_object(longId.in());
    poa->deactivate_object(seqId.in());
}

std::vector<std::string> events(RtcTest::Probe_ptr probe) {
    RtcTest::Strings_var list = probe->events();
    std::vector<std::string> out;
    for (CORBA::ULong i = 0; i < list->length(); ++i) {
        out.emplace_back(list[i]);
    }
    return out;
}

TEST_F(RtcIntegration, ActivationErrorAndResetRunTheRightCallbacksOnTheContextThread) {
    RTC::RTObject_var comp = start("Life0");
    RTC::ExecutionContextService_var ec = rtctest::ownedContext(comp.in());
    RtcTest::Probe_var probe = rtctest::probeOf(comp.in());
    EXPECT_EQ(events(probe.in()), (std::vector<std::string>{"onInitialize@other"}));
    probe->clearEvents();

    ASSERT_EQ(ec->activate_component(comp.in()), RTC::RTC_OK);
    EXPECT_EQ(ec->get_component_state(comp.in()), RTC::ACTIVE_STATE);
    EXPECT_EQ(ec->activate_component(comp.in()), RTC::PRECONDITION_NOT_MET);
    ASSERT_TRUE(rtctest::waitFor([&] { return probe->cycles() >= 3; }, 5s));
    ASSERT_EQ(ec->deactivate_component(comp.in()), RTC::RTC_OK);
    EXPECT_EQ(ec->get_component_state(comp.in()), RTC::INACTIVE_STATE);
    EXPECT_EQ(events(probe.in()),
              (std::vector<std::string>{"onActivated@ec", "onExecute@ec", "onDeactivated@ec"}));
    probe->clearEvents();

    // A failing onExecute sends the component to ERROR: deactivated, aborting, then error.
    setConf(comp.in(), "fail", "1");
    ASSERT_EQ(ec->activate_component(comp.in()), RTC::RTC_OK);
    ASSERT_TRUE(rtctest::waitFor(
        [&] { return ec->get_component_state(comp.in()) == RTC::ERROR_STATE; }, 5s));
    ASSERT_TRUE(rtctest::waitFor([&] { return events(probe.in()).size() >= 5; }, 5s));
    std::vector<std::string> seen = events(probe.in());
    EXPECT_EQ(std::vector<std::string>(seen.begin(), seen.begin() + 5),
              (std::vector<std::string>{"onActivated@ec", "onExecute@ec", "onDeactivated@ec",
                                        "onAborting@ec", "onError@ec"}));
    EXPECT_EQ(ec->deactivate_component(comp.in()), RTC::PRECONDITION_NOT_MET);

    // The change reaches the variable after onError; reset then brings it back.
    setConf(comp.in(), "fail", "0");
    probe->clearEvents();
    ASSERT_EQ(ec->reset_component(comp.in()), RTC::RTC_OK);
    EXPECT_EQ(ec->get_component_state(comp.in()), RTC::INACTIVE_STATE);
    seen = events(probe.in());
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), "onReset@ec");

    // An exception out of onExecute counts as a failure too.
    setConf(comp.in(), "fail", "2");
    ASSERT_EQ(ec->activate_component(comp.in()), RTC::RTC_OK);
    EXPECT_TRUE(rtctest::waitFor(
        [&] { return ec->get_component_state(comp.in()) == RTC::ERROR_STATE; }, 5s));
}

TEST_F(RtcIntegration, ConfigurationChangeReachesTheVariableBetweenCyclesOnly) {
    RTC::RTObject_var comp = start("Conf0", {"-o", "test.RtcTestPeer.conf.default.hold_ms:15"});
    RTC::ExecutionContextService_var ec = rtctest::ownedContext(comp.in());
    RtcTest::Probe_var probe = rtctest::probeOf(comp.in());
    ASSERT_EQ(ec->activate_component(comp.in()), RTC::RTC_OK);
    ASSERT_TRUE(rtctest::waitFor([&] { return probe->gain() == 1.5; }, 5s));

    setConf(comp.in(), "gain", "2.5", false);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(probe->gain(), 1.5) << "values must wait for activate_configuration_set";

    for (double g : {2.5, 3.5, 4.5, 5.5, 6.5}) {
        setConf(comp.in(), "gain", std::to_string(g));
        ASSERT_TRUE(rtctest::waitFor([&] { return probe->gain() == g; }, 5s));
    }
    EXPECT_EQ(probe->gainChangedInsideCycle(), 0);

    setConf(comp.in(), "gain", "not-a-number");
    ASSERT_TRUE(rtctest::waitFor([&] { return probe->gain() == 1.5; }, 5s));
    EXPECT_NE(log("Conf0").find("bad value \"not-a-number\""), std::string::npos);
}

TEST_F(RtcIntegration, ServicePortProviderAnswersCalls) {
    RTC::RTObject_var comp = start("Svc0");
    RTC::PortService_var port = rtctest::findPort(comp.in(), "service");
    RTC::ConnectorProfile prof;
    ASSERT_EQ(rtctest::connectPorts({port.in()}, {}, prof), RTC::RTC_OK);
    std::string newStyle =
        stringProperty(prof.properties, "Svc0.port.service.provided.RtcTest::Probe.probe");
    std::string oldStyle = stringProperty(prof.properties, "port.RtcTest::Probe.probe");
    EXPECT_EQ(newStyle.rfind("IOR:", 0), 0u);
    EXPECT_EQ(newStyle, oldStyle);
    CORBA::ORB_var orb = rtctest::orb();
    CORBA::Object_var obj = orb->string_to_object(oldStyle.c_str());
    RtcTest::Probe_var probe = RtcTest::Probe::_narrow(obj.in());
    EXPECT_EQ(probe->add(2, 3), 5);
    RtcTest::Octets_var map = probe->map(40000);
    EXPECT_EQ(map->length(), 40000u);
    EXPECT_EQ(port->disconnect(prof.connector_id), RTC::RTC_OK);
}

TEST_F(RtcIntegration, SenderKeepsCyclingAndDropsAReceiverKilledWithSigkill) {
    RTC::RTObject_var tx = start("KTx0", {"-o", "test.RtcTestPeer.conf.default.mode:send"});
    RTC::RTObject_var rx = start("KRx0", {"-o", "test.RtcTestPeer.conf.default.mode:recv"});
    RTC::PortService_var out = rtctest::findPort(tx.in(), "out");
    RTC::PortService_var in = rtctest::findPort(rx.in(), "in");
    RTC::ConnectorProfile prof;
    ASSERT_EQ(rtctest::connectPorts({out.in(), in.in()}, kPushFlush, prof), RTC::RTC_OK);
    RTC::ExecutionContextService_var txEc = rtctest::ownedContext(tx.in());
    RTC::ExecutionContextService_var rxEc = rtctest::ownedContext(rx.in());
    ASSERT_EQ(rxEc->activate_component(rx.in()), RTC::RTC_OK);
    ASSERT_EQ(txEc->activate_component(tx.in()), RTC::RTC_OK);
    RtcTest::Probe_var rxProbe = rtctest::probeOf(rx.in());
    RtcTest::Probe_var txProbe = rtctest::probeOf(tx.in());
    ASSERT_TRUE(rtctest::waitFor([&] { return rxProbe->received() > 3; }, 10s));

    peers_.back().kill9();
    CORBA::Long cyclesAtKill = txProbe->cycles();
    // Within the client call timeout (3 s) the sender must be cycling freely again.
    ASSERT_TRUE(rtctest::waitFor([&] { return txProbe->writeFailures() > 0; }, 5s));
    std::this_thread::sleep_for(500ms);
    CORBA::Long c1 = txProbe->cycles();
    std::this_thread::sleep_for(500ms);
    EXPECT_GT(txProbe->cycles() - c1, 20) << "sender stalled after its receiver died";
    EXPECT_GT(c1, cyclesAtKill);
    // The lost connection is gone from the sender's own port profile.
    RTC::PortProfile_var pp = out->get_port_profile();
    EXPECT_EQ(pp->connector_profiles.length(), 0u);
}

TEST_F(RtcIntegration, RunsWithoutANamingServiceAndCanBeReachedThroughItsIorFile) {
    peers_.push_back(rtctest::startPeer(nullptr, "Lone0",
                                        {"-o", "naming.ior_file:" + logDir_ + "/%n.ior"}, logDir_));
    std::string iorPath = logDir_ + "/Lone0.ior";
    ASSERT_TRUE(rtctest::waitFor([&] { return std::filesystem::exists(iorPath); }, 10s));
    std::ifstream in(iorPath);
    std::string ior;
    in >> ior;
    CORBA::ORB_var orb = rtctest::orb();
    CORBA::Object_var obj = orb->string_to_object(ior.c_str());
    RTC::RTObject_var comp = RTC::RTObject::_narrow(obj.in());
    ASSERT_FALSE(CORBA::is_nil(comp.in()));
    RTC::ComponentProfile_var profile = comp->get_component_profile();
    EXPECT_STREQ(profile->instance_name, "Lone0");
    std::string text = log("Lone0");
    auto first = text.find("is not reachable; running without it");
    ASSERT_NE(first, std::string::npos) << text;
    EXPECT_EQ(text.find("is not reachable", first + 1), std::string::npos) << "said more than once";
    EXPECT_TRUE(peers_.back().running());
}

TEST_F(RtcIntegration, SigtermLeavesTheNamingServiceAndPeersClean) {
    RTC::RTObject_var tx = start("Term0", {"-o", "test.RtcTestPeer.conf.default.mode:send"});
    RTC::RTObject_var rx = start("Term1");
    RTC::PortService_var out = rtctest::findPort(tx.in(), "out");
    RTC::PortService_var in = rtctest::findPort(rx.in(), "in");
    RTC::ConnectorProfile prof;
    ASSERT_EQ(rtctest::connectPorts({in.in(), out.in()}, kPushFlush, prof), RTC::RTC_OK);
    int status = peers_.front().stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    // The receiver was told about the disconnection, and the name is gone.
    RTC::ConnectorProfileList_var onIn = in->get_connector_profiles();
    EXPECT_EQ(onIn->length(), 0u);
    CosNaming::NamingContext_var root = ns().root();
    CosNaming::Name name;
    name.length(2);
    name[0].id = rtctest::hostName().c_str();
    name[0].kind = "host_cxt";
    name[1].id = "Term0";
    name[1].kind = "rtc";
    EXPECT_THROW(CORBA::Object_var(root->resolve(name)), CosNaming::NamingContext::NotFound);
}

}  // namespace

namespace {

std::pair<int, std::string> ctl(const std::string& ns, const std::string& args) {
    return rtctest::runCommand(std::string(VOSTREL_CTL) + " --ns " + ns + " " + args);
}

TEST_F(RtcIntegration, CtlRefusesWhatCannotWorkAndSaysWhy) {
    const std::string ns = this->ns().address();
    EXPECT_EQ(ctl(ns, "ls"),
              std::make_pair(0, std::string("(the naming service holds no names)\n")));
    RTC::RTObject_var tx = start("Ref0", {"-o", "test.RtcTestPeer.conf.default.mode:send"});
    RTC::RTObject_var rx = start("Ref1", {"-o", "test.RtcTestPeer.conf.default.mode:recv"});
    RTC::PortService_var out = rtctest::findPort(tx.in(), "out");

    // Ports: direction and data type, unless forced.
    auto [typeRc, types] = ctl(ns, "connect Ref0.seqout Ref1.in");
    EXPECT_EQ(typeRc, 1);
    EXPECT_NE(types.find("Ref0.seqout carries IDL:RTC/TimedDoubleSeq:1.0 but Ref1.in carries "
                         "IDL:RTC/TimedLong:1.0 (--force connects them anyway)"),
              std::string::npos)
        << types;
    auto [outRc, outs] = ctl(ns, "connect Ref0.out Ref1.out");
    EXPECT_EQ(outRc, 1);
    EXPECT_NE(outs.find("Ref0.out and Ref1.out are both DataOutPorts"), std::string::npos) << outs;
    RTC::ConnectorProfileList_var none = out->get_connector_profiles();
    EXPECT_EQ(none->length(), 0u);
    EXPECT_EQ(ctl(ns, "connect Ref0.out Ref1.in").first, 0);
    EXPECT_EQ(ctl(ns, "connect --force Ref0.seqout Ref1.in").first, 0);

    // States: what the state is and what the operation needs.
    EXPECT_EQ(ctl(ns, "deactivate Ref1"),
              std::make_pair(1, std::string("vostrel-ctl: cannot deactivate Ref1: it is INACTIVE, "
                                            "and deactivate needs it ACTIVE "
                                            "(PRECONDITION_NOT_MET)\n")));
    auto [resetRc, reset] = ctl(ns, "reset Ref1");
    EXPECT_EQ(resetRc, 1);
    EXPECT_NE(reset.find("it is INACTIVE, and reset needs it ERROR"), std::string::npos) << reset;

    // Configuration: unknown keys, published ranges, unknown sets.
    auto [keyRc, key] = ctl(ns, "conf set Ref1 gian 2");
    EXPECT_EQ(keyRc, 1);
    EXPECT_NE(key.find("no parameter \"gian\" (--add creates it)"), std::string::npos) << key;
    EXPECT_NE(key.find("gain"), std::string::npos) << key;
    auto [rangeRc, range] = ctl(ns, "conf set Ref1 gain 11");
    EXPECT_EQ(rangeRc, 1);
    EXPECT_NE(range.find("11 is outside 0<=x<=10"), std::string::npos) << range;
    auto [textRc, text] = ctl(ns, "conf set Ref1 gain high");
    EXPECT_EQ(textRc, 1);
    EXPECT_NE(text.find("\"high\" is not a number"), std::string::npos) << text;
    EXPECT_EQ(ctl(ns, "conf set Ref1 gain 10").first, 0);
    EXPECT_EQ(ctl(ns, "conf set --add Ref1 note hello").first, 0);
    EXPECT_NE(ctl(ns, "conf get Ref1").second.find("note = hello\n"), std::string::npos);
    EXPECT_EQ(ctl(ns, "conf set --force Ref1 gain 12").first, 0);
    auto [hiddenRc, hidden] = ctl(ns, "conf set Ref1 gain 1 --set __constraints__");
    EXPECT_EQ(hiddenRc, 1);
    EXPECT_NE(hidden.find("cannot be activated"), std::string::npos) << hidden;
    auto [setRc, set] = ctl(ns, "conf get Ref1 fast");
    EXPECT_EQ(setRc, 1);
    EXPECT_NE(set.find("Ref1 has no configuration set \"fast\"; its sets are: "), std::string::npos)
        << set;
    EXPECT_NE(set.find("default"), std::string::npos) << set;
}

TEST_F(RtcIntegration, CtlListsConnectsActivatesAndConfigures) {
    RTC::RTObject_var tx = start("Ctl0", {"-o", "test.RtcTestPeer.conf.default.mode:send"});
    RTC::RTObject_var rx = start("Ctl1", {"-o", "test.RtcTestPeer.conf.default.mode:recv"});
    const std::string ns = ns_->address();
    const std::string host = rtctest::hostName();

    auto [lsRc, ls] = ctl(ns, "ls");
    EXPECT_EQ(lsRc, 0) << ls;
    EXPECT_NE(ls.find(host + ".host_cxt/Ctl0.rtc  INACTIVE"), std::string::npos) << ls;

    auto [cRc, connected] =
        ctl(ns, "connect Ctl0.out " + host + ".host_cxt/Ctl1.rtc:in subscription_type=new");
    ASSERT_EQ(cRc, 0) << connected;
    EXPECT_EQ(connected.size(), 37u) << connected;
    EXPECT_EQ(ctl(ns, "activate Ctl1").second, "RTC_OK\n");
    EXPECT_EQ(ctl(ns, "activate " + host + ".host_cxt/Ctl0.rtc").second, "RTC_OK\n");
    EXPECT_EQ(
        ctl(ns, "activate Ctl0"),
        std::make_pair(1, std::string("vostrel-ctl: cannot activate Ctl0: it is ACTIVE, and "
                                      "activate needs it INACTIVE (PRECONDITION_NOT_MET)\n")));
    RtcTest::Probe_var probe = rtctest::probeOf(rx.in());
    ASSERT_TRUE(rtctest::waitFor([&] { return probe->received() > 2; }, 10s));

    auto [catRc, cat] = ctl(ns, "cat Ctl0");
    EXPECT_EQ(catRc, 0) << cat;
    EXPECT_NE(cat.find("  Ctl0.out\n"), std::string::npos) << cat;
    EXPECT_NE(cat.find("ports : Ctl0.out Ctl1.in"), std::string::npos) << cat;
    EXPECT_NE(cat.find("dataport.subscription_type = new"), std::string::npos) << cat;
    EXPECT_NE(cat.find("execution context 0 : ACTIVE, rate 100 Hz, running"), std::string::npos)
        << cat;
    EXPECT_NE(cat.find("configuration set default [active]"), std::string::npos) << cat;

    EXPECT_EQ(ctl(ns, "conf set Ctl1 gain 4.5").first, 0);
    ASSERT_TRUE(rtctest::waitFor([&] { return probe->gain() == 4.5; }, 5s));
    EXPECT_NE(ctl(ns, "conf get Ctl1").second.find("gain = 4.5\n"), std::string::npos);

    auto [dRc, disc] = ctl(ns, "disconnect Ctl1.in Ctl0.out");
    EXPECT_EQ(dRc, 0) << disc;
    EXPECT_NE(disc.find("RTC_OK"), std::string::npos) << disc;
    EXPECT_EQ(ctl(ns, "deactivate Ctl0").second, "RTC_OK\n");
    EXPECT_EQ(ctl(ns, "cat NoSuch0").first, 1);
}

}  // namespace

namespace {

TEST_F(RtcIntegration, StartupPreconnectsAndPreactivatesFromConfiguration) {
    RTC::RTObject_var rx = start("Pre1", {"-o", "test.RtcTestPeer.conf.default.mode:recv"});
    const std::string url =
        "rtcname://" + ns().address() + "/" + rtctest::hostName() + ".host_cxt/";
    {
        std::ofstream conf(logDir_ + "/pre0.conf");
        conf << "# component configuration file of Pre0\n"
             << "conf.default.mode: send\n"
             << "exec_cxt.periodic.rate: 50\n";
    }
    RTC::RTObject_var tx = start(
        "Pre0",
        {"-o", "test.Pre0.config_file:" + logDir_ + "/pre0.conf", "-o",
         "manager.components.preconnect:Pre0.out?port=" + url + "Pre1.in&subscription_type=new",
         "-o", "manager.components.preactivation:Pre0," + url + "Pre1"});
    RTC::ExecutionContextService_var txEc = rtctest::ownedContext(tx.in());
    RTC::ExecutionContextService_var rxEc = rtctest::ownedContext(rx.in());
    ASSERT_TRUE(rtctest::waitFor(
        [&] { return txEc->get_component_state(tx.in()) == RTC::ACTIVE_STATE; }, 10s));
    EXPECT_TRUE(rtctest::waitFor(
        [&] { return rxEc->get_component_state(rx.in()) == RTC::ACTIVE_STATE; }, 10s));
    EXPECT_DOUBLE_EQ(txEc->get_rate(), 50.0);
    RtcTest::Probe_var probe = rtctest::probeOf(rx.in());
    EXPECT_TRUE(rtctest::waitFor([&] { return probe->received() > 2; }, 10s));
    RTC::PortService_var in = rtctest::findPort(rx.in(), "in");
    RTC::ConnectorProfileList_var list = in->get_connector_profiles();
    ASSERT_EQ(list->length(), 1u);
    EXPECT_EQ(stringProperty(list[0].properties, "dataport.subscription_type"), "new");
    RTC::ComponentProfile_var profile = tx->get_component_profile();
    EXPECT_EQ(stringProperty(profile->properties, "config_file"), logDir_ + "/pre0.conf");
}

}  // namespace

namespace {

// The manager's preconnect and vostrel-ctl share the lookup: a port answers to its whole
// name as well as to the name after its owner's.
TEST_F(RtcIntegration, PortsAnswerToTheirWholeAndShortNamesInPreconnectToo) {
    RTC::RTObject_var rx = start("Whole1", {"-o", "test.RtcTestPeer.conf.default.mode:recv"});
    RTC::PortService_var byShort = rtc::findPort(rx.in(), "in");
    RTC::PortService_var byWhole = rtc::findPort(rx.in(), "Whole1.in");
    ASSERT_FALSE(CORBA::is_nil(byShort.in()));
    EXPECT_TRUE(byShort->_is_equivalent(byWhole.in()));
    EXPECT_TRUE(CORBA::is_nil(RTC::PortService_var(rtc::findPort(rx.in(), "n")).in()));
    EXPECT_TRUE(CORBA::is_nil(RTC::PortService_var(rtc::findPort(rx.in(), "")).in()));

    const std::string url =
        "rtcname://" + ns().address() + "/" + rtctest::hostName() + ".host_cxt/";
    RTC::RTObject_var tx =
        start("Whole0",
              {"-o", "test.RtcTestPeer.conf.default.mode:send", "-o",
               "manager.components.preconnect:Whole0.Whole0.out?port=" + url + "Whole1.Whole1.in"});
    RTC::ConnectorProfileList_var list;
    ASSERT_TRUE(rtctest::waitFor(
        [&] {
            list = byShort->get_connector_profiles();
            return list->length() == 1;
        },
        10s))
        << log("Whole0");
    EXPECT_TRUE(
        list[0].ports[0]->_is_equivalent(RTC::PortService_var(rtc::findPort(tx.in(), "out")).in()));
}

}  // namespace

namespace {

TEST_F(RtcIntegration, AnotherComponentCanJoinAndBeDrivenByOurContext) {
    RTC::RTObject_var owner = start("Host0");
    RTC::RTObject_var guest = start("Guest0");
    RTC::ExecutionContextService_var ec = rtctest::ownedContext(owner.in());
    RtcTest::Probe_var probe = rtctest::probeOf(guest.in());
    probe->clearEvents();

    ASSERT_EQ(ec->add_component(guest.in()), RTC::RTC_OK);
    EXPECT_EQ(ec->add_component(guest.in()), RTC::PRECONDITION_NOT_MET);
    RTC::ExecutionContextList_var joined = guest->get_participating_contexts();
    ASSERT_EQ(joined->length(), 1u);
    EXPECT_EQ(guest->get_context_handle(ec.in()), 1000);
    EXPECT_TRUE(guest->is_alive(ec.in()));
    RTC::ExecutionContextProfile_var profile = ec->get_profile();
    ASSERT_EQ(profile->participants.length(), 1u);
    EXPECT_TRUE(profile->participants[0]->_is_equivalent(guest.in()));
    EXPECT_EQ(ec->get_component_state(guest.in()), RTC::INACTIVE_STATE);

    // The host's context drives the guest through its CORBA callbacks.
    ASSERT_EQ(ec->activate_component(guest.in()), RTC::RTC_OK);
    ASSERT_TRUE(rtctest::waitFor([&] { return probe->cycles() > 5; }, 5s));
    EXPECT_EQ(ec->get_component_state(owner.in()), RTC::INACTIVE_STATE);
    EXPECT_EQ(ec->remove_component(guest.in()), RTC::PRECONDITION_NOT_MET);
    ASSERT_EQ(ec->deactivate_component(guest.in()), RTC::RTC_OK);
    EXPECT_EQ(events(probe.in()), (std::vector<std::string>{"onActivated@other", "onExecute@other",
                                                            "onDeactivated@other"}));
    ASSERT_EQ(ec->remove_component(guest.in()), RTC::RTC_OK);
    joined = guest->get_participating_contexts();
    EXPECT_EQ(joined->length(), 0u);
    EXPECT_EQ(ec->get_component_state(guest.in()), RTC::CREATED_STATE);
    EXPECT_EQ(guest->detach_context(1000), RTC::BAD_PARAMETER);
}

}  // namespace

namespace {

TEST_F(RtcIntegration, BindsItsNameOnceANamingServiceAppearsLater) {
    int port = rtctest::freePort();
    peers_.push_back(rtctest::startPeerAt("127.0.0.1:" + std::to_string(port), "Late0",
                                          {"-o", "naming.update.interval:0.2"}, logDir_));
    ASSERT_TRUE(rtctest::waitFor(
        [&] { return log("Late0").find("is not reachable") != std::string::npos; }, 10s));
    ns_ = std::make_unique<rtctest::NameServer>(port);
    RTC::RTObject_var comp = rtctest::resolveComponent(*ns_, "Late0");
    ASSERT_FALSE(CORBA::is_nil(comp.in()));
    CORBA::String_var id = comp->get_sdo_id();
    EXPECT_STREQ(id.in(), "Late0");
    EXPECT_NE(log("Late0").find("is reachable; names bound"), std::string::npos);
}

TEST_F(RtcIntegration, ExitFromAToolEndsTheProcessCleanly) {
    RTC::RTObject_var comp = start("Bye0");
    RTC::ExecutionContextService_var ec = rtctest::ownedContext(comp.in());
    ASSERT_EQ(ec->activate_component(comp.in()), RTC::RTC_OK);
    EXPECT_EQ(comp->finalize(), RTC::PRECONDITION_NOT_MET);
    EXPECT_EQ(comp->exit(), RTC::RTC_OK);
    // The last component gone, the process ends by itself and leaves no name behind.
    ASSERT_TRUE(rtctest::waitFor([&] { return !peers_.back().running(); }, 10s));
    CosNaming::NamingContext_var root = ns().root();
    CosNaming::Name name = rtc::toCosName(rtctest::hostName() + ".host_cxt/Bye0.rtc");
    EXPECT_THROW(CORBA::Object_var(root->resolve(name)), CosNaming::NamingContext::NotFound);
}

}  // namespace
