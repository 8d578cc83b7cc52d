// How samples reach subscribers (sender threads, push policies, periodic and pull
// connections), how the context keeps its schedule, what happens around hung peers and
// how names in the naming service are kept.

#include "rtc/connector_sender.hpp"
#include "rtc/fixed_deadline.hpp"
#include "rtc/naming_manager.hpp"
#include "tests/rtc/rtc_test_env.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace std::chrono_literals;
using rtc::ConnectorSender;

namespace {

// A peer that answers put only when the test lets it, recording what it got.
class FakePeer {
  public:
    ConnectorSender::Result put(const rtc::CdrPayload& payload) {
        std::unique_lock<std::mutex> lock(mutex_);
        ++entered_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return open_; });
        received_.push_back(static_cast<int>(payload.data()[0]));
        changed_.notify_all();
        return ConnectorSender::Result::Ok;
    }
    void open() {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    void waitEntered(int n) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return entered_ >= n; });
    }
    std::vector<int> waitReceived(std::size_t n) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, 10s, [&] { return received_.size() >= n; });
        return received_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
    int entered_ = 0;
    std::vector<int> received_;
};

rtc::CdrPayload sample(int n) {
    unsigned char byte = static_cast<unsigned char>(n);
    return rtc::CdrPayload(&byte, 1, true);
}

ConnectorSender::Options optionsOf(std::initializer_list<std::pair<const char*, const char*>> kv) {
    coil::Properties props;
    for (const auto& [k, v] : kv) {
        props.setProperty(k, v);
    }
    ConnectorSender::Options options;
    EXPECT_EQ(ConnectorSender::parse(props, options), "");
    return options;
}

TEST(ConnectorSender, FlushWaitsForALivePeerButOnlyOnceForAHungOne) {
    FakePeer peer;
    ConnectorSender sender(
        optionsOf({}), [&](const rtc::CdrPayload& p) { return peer.put(p); }, [] {});
    ConnectorSender::Result r;
    // Hung: the writer gives up at its deadline, and does not wait at all the next time.
    std::uint64_t t1 = sender.enqueue(sample(1), r);
    EXPECT_EQ(sender.waitDelivered(t1, std::chrono::steady_clock::now() + 50ms),
              ConnectorSender::Result::Late);
    std::uint64_t t2 = sender.enqueue(sample(2), r);
    EXPECT_EQ(sender.waitDelivered(t2, std::chrono::steady_clock::now() + 1h),
              ConnectorSender::Result::Late);
    // Back to life: everything queued arrives in order, and a write that finds the
    // connection caught up waits for its own sample again.
    peer.open();
    int next = 3;
    EXPECT_TRUE(rtctest::waitFor(
        [&] {
            std::uint64_t t = sender.enqueue(sample(next++), r);
            return sender.waitDelivered(t, std::chrono::steady_clock::now() + 1h) ==
                   ConnectorSender::Result::Ok;
        },
        10s));
    std::vector<int> expected;
    for (int i = 1; i < next; ++i) {
        expected.push_back(i);
    }
    EXPECT_EQ(peer.waitReceived(expected.size()), expected);
}

// While the first sample hangs in put, 2..6 queue up; then the policy picks from them.
std::vector<int> sentWithPolicy(std::initializer_list<std::pair<const char*, const char*>> kv,
                                std::size_t expected) {
    FakePeer peer;
    ConnectorSender sender(
        optionsOf(kv), [&](const rtc::CdrPayload& p) { return peer.put(p); }, [] {});
    ConnectorSender::Result r;
    sender.enqueue(sample(1), r);
    peer.waitEntered(1);
    for (int i = 2; i <= 6; ++i) {
        sender.enqueue(sample(i), r);
    }
    peer.open();
    return peer.waitReceived(expected);
}

TEST(ConnectorSender, PushPoliciesPickFromWhatQueuedUp) {
    using V = std::vector<int>;
    EXPECT_EQ(sentWithPolicy({{"dataport.subscription_type", "new"}}, 2), (V{1, 6}));
    EXPECT_EQ(
        sentWithPolicy(
            {{"dataport.subscription_type", "new"}, {"dataport.publisher.push_policy", "all"}}, 6),
        (V{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(
        sentWithPolicy(
            {{"dataport.subscription_type", "new"}, {"dataport.publisher.push_policy", "fifo"}}, 6),
        (V{1, 2, 3, 4, 5, 6}));
    // Every second sample, counted across rounds: 1 went, 2 is skipped, 3 goes, ...
    EXPECT_EQ(sentWithPolicy({{"dataport.subscription_type", "new"},
                              {"dataport.publisher.push_policy", "skip"},
                              {"dataport.publisher.skip_count", "1"}},
                             3),
              (V{1, 3, 5}));
    // A bounded queue: the oldest waiting samples give way.
    EXPECT_EQ(sentWithPolicy({{"dataport.subscription_type", "new"},
                              {"dataport.publisher.push_policy", "all"},
                              {"dataport.outport.buffer.length", "2"}},
                             3),
              (V{1, 5, 6}));
}

TEST(ConnectorSender, ReadsTheConnectorKeysAndRefusesWhatItCannotHonour) {
    ConnectorSender::Options o = optionsOf({{"dataport.subscription_type", " Periodic"},
                                            {"dataport.push_rate", "25"},
                                            {"dataport.buffer.length", "3"},
                                            {"dataport.buffer.write.full_policy", "do_nothing"}});
    EXPECT_EQ(o.mode, ConnectorSender::Mode::Periodic);
    EXPECT_EQ(o.policy, ConnectorSender::Policy::New);
    EXPECT_DOUBLE_EQ(o.pushRate, 25.0);
    EXPECT_EQ(o.length, 3u);
    EXPECT_FALSE(o.overwrite);
    for (auto [key, value] : {std::pair{"dataport.subscription_type", "sometimes"},
                              {"dataport.publisher.push_policy", "most"},
                              {"dataport.publisher.push_rate", "0"},
                              {"dataport.publisher.push_rate", "fast"},
                              {"dataport.publisher.skip_count", "-1"},
                              {"dataport.outport.buffer.length", "0"}}) {
        coil::Properties props;
        props.setProperty(key, value);
        EXPECT_NE(ConnectorSender::parse(props, o), "") << key << " = " << value;
    }

    // A full queue with do_nothing refuses the new sample.
    FakePeer peer;
    ConnectorSender sender(
        optionsOf({{"dataport.subscription_type", "new"},
                   {"dataport.outport.buffer.length", "1"},
                   {"dataport.outport.buffer.write.full_policy", "do_nothing"}}),
        [&](const rtc::CdrPayload& p) { return peer.put(p); }, [] {});
    ConnectorSender::Result r;
    sender.enqueue(sample(1), r);
    peer.waitEntered(1);
    EXPECT_NE(sender.enqueue(sample(2), r), 0u);
    EXPECT_EQ(sender.enqueue(sample(3), r), 0u);
    EXPECT_EQ(r, ConnectorSender::Result::Full);
    peer.open();
    EXPECT_EQ(peer.waitReceived(2), (std::vector<int>{1, 2}));
}

TEST(ConnectorSender, ALostPeerIsReportedOnceAndTakesNothingMore) {
    std::atomic<int> lost{0};
    ConnectorSender sender(
        optionsOf({}), [](const rtc::CdrPayload&) { return ConnectorSender::Result::Lost; },
        [&] { ++lost; });
    ConnectorSender::Result r;
    std::uint64_t t = sender.enqueue(sample(1), r);
    EXPECT_EQ(sender.waitDelivered(t, std::chrono::steady_clock::now() + 1h),
              ConnectorSender::Result::Lost);
    EXPECT_EQ(sender.enqueue(sample(2), r), 0u);
    EXPECT_EQ(r, ConnectorSender::Result::Lost);
    EXPECT_TRUE(rtctest::waitFor([&] { return lost.load() == 1; }, 10s));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(lost.load(), 1);
}

TEST(FixedDeadline, StaysOnTheGridAndSkipsMissedDeadlines) {
    using Clock = std::chrono::steady_clock;
    Clock::time_point t0{};
    auto period = 20ms;
    // On time or a little late: the next grid point, whatever the wake-up cost.
    EXPECT_EQ(rtc::nextDeadline(t0, period, t0 + 1ms), t0 + 20ms);
    EXPECT_EQ(rtc::nextDeadline(t0 + 20ms, period, t0 + 39ms), t0 + 40ms);
    // An overrun of 2.5 periods: the first grid point in the future, no burst.
    EXPECT_EQ(rtc::nextDeadline(t0, period, t0 + 50ms), t0 + 60ms);
    EXPECT_EQ(rtc::nextDeadline(t0, period, t0 + 40ms), t0 + 60ms);
}

// ---- against peer processes ----

const std::vector<std::pair<std::string, std::string>> kFlush{
    {"dataport.dataflow_type", "push"},
    {"dataport.interface_type", "corba_cdr"},
    {"dataport.subscription_type", "flush"}};

class Delivery : public ::testing::Test {
  protected:
    void SetUp() override { logDir_ = rtctest::makeTempDir(); }
    void TearDown() override {
        for (auto& peer : peers_) {
            if (peer.pid() > 0) {
                ::kill(peer.pid(), SIGCONT);
                int status = peer.stop();
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
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
    RTC::RTObject_ptr start(const std::string& instance, const std::string& mode,
                            std::vector<std::string> options = {}) {
        options.insert(options.end(), {"-o", "test.RtcTestPeer.conf.default.mode:" + mode});
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
    static void activate(RTC::RTObject_ptr comp) {
        RTC::ExecutionContextService_var ec = rtctest::ownedContext(comp);
        ASSERT_EQ(ec->activate_component(comp), RTC::RTC_OK);
    }
    static std::size_t connections(RTC::PortService_ptr port) {
        RTC::ConnectorProfileList_var list = port->get_connector_profiles();
        return list->length();
    }

    std::string logDir_;
    std::unique_ptr<rtctest::NameServer> ns_;
    std::vector<rtctest::Process> peers_;
};

TEST_F(Delivery, AStoppedSubscriberNeitherStallsTheSenderNorHoldsPortQueries) {
    RTC::RTObject_var tx = start("HTx0", "send");
    RTC::RTObject_var rx = start("HRx0", "recv");
    RTC::RTObject_var ctl = start("HCtl0", "idle");
    RTC::PortService_var out = rtctest::findPort(tx.in(), "out");
    RTC::PortService_var in = rtctest::findPort(rx.in(), "in");
    RTC::ConnectorProfile prof;
    ASSERT_EQ(rtctest::connectPorts({out.in(), in.in()}, kFlush, prof), RTC::RTC_OK);
    // The stopped process also sends to us: a link like a follower's command output.
    RTC::PortService_var rxOut = rtctest::findPort(rx.in(), "seqout");
    RTC::PortService_var ctlIn = rtctest::findPort(ctl.in(), "seqin");
    ASSERT_EQ(rtctest::connectPorts({rxOut.in(), ctlIn.in()}, kFlush, prof), RTC::RTC_OK);
    activate(rx.in());
    activate(tx.in());
    RtcTest::Probe_var rxProbe = rtctest::probeOf(rx.in());
    RtcTest::Probe_var txProbe = rtctest::probeOf(tx.in());
    ASSERT_TRUE(rtctest::waitFor([&] { return rxProbe->received() > 3; }, 10s));

    ASSERT_EQ(::kill(peers_[1].pid(), SIGSTOP), 0);
    std::this_thread::sleep_for(300ms);
    // Well inside the 3 s call timeout the sender keeps cycling (at 100 Hz; a sender that
    // waits on its subscriber makes one cycle at most in this time).
    CORBA::Long c1 = txProbe->cycles();
    std::this_thread::sleep_for(1500ms);
    EXPECT_GT(txProbe->cycles() - c1, 10) << "the sender waited for its stopped subscriber";
    // Port queries answer from what is stored, and a hung peer is not taken for a dead one.
    EXPECT_EQ(connections(ctlIn.in()), 1u);
    // The subscriber that stays hung is dropped after the call timeout.
    EXPECT_TRUE(rtctest::waitFor([&] { return connections(out.in()) == 0; }, 15s));
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(connections(ctlIn.in()), 1u) << "the link from the stopped peer was dropped";
}

TEST_F(Delivery, PeriodicAndPullConnectionsCarryTheCounter) {
    RTC::RTObject_var tx = start("PTx0", "send", {"-o", "exec_cxt.periodic.rate:200"});
    RTC::RTObject_var rxAll = start("PRx0", "recv");
    RTC::RTObject_var rxNew = start("PRx1", "recv");
    RTC::RTObject_var rxPull = start("PRx2", "pull", {"-o", "exec_cxt.periodic.rate:50"});
    RTC::PortService_var out = rtctest::findPort(tx.in(), "out");
    RTC::ConnectorProfile prof;
    auto periodic = [](const char* policy) {
        return std::vector<std::pair<std::string, std::string>>{
            {"dataport.dataflow_type", "push"},         {"dataport.interface_type", "corba_cdr"},
            {"dataport.subscription_type", "periodic"}, {"dataport.publisher.push_rate", "10"},
            {"dataport.publisher.push_policy", policy}, {"dataport.outport.buffer.length", "1000"},
            {"dataport.inport.buffer.length", "1000"}};
    };
    RTC::PortService_var inAll = rtctest::findPort(rxAll.in(), "in");
    ASSERT_EQ(rtctest::connectPorts({out.in(), inAll.in()}, periodic("all"), prof), RTC::RTC_OK);
    RTC::PortService_var inNew = rtctest::findPort(rxNew.in(), "in");
    ASSERT_EQ(rtctest::connectPorts({inNew.in(), out.in()}, periodic("new"), prof), RTC::RTC_OK);
    RTC::PortService_var inPull = rtctest::findPort(rxPull.in(), "in");
    ASSERT_EQ(
        rtctest::connectPorts(
            {out.in(), inPull.in()},
            {{"dataport.dataflow_type", "pull"}, {"dataport.interface_type", "corba_cdr"}}, prof),
        RTC::RTC_OK);
    EXPECT_NE(rtctest::stringProperty(prof.properties, "dataport.corba_cdr.outport_ior"), "");
    for (RTC::RTObject_ptr c : {rxAll.in(), rxNew.in(), rxPull.in(), tx.in()}) {
        activate(c);
    }
    RtcTest::Probe_var txProbe = rtctest::probeOf(tx.in());
    RtcTest::Probe_var allProbe = rtctest::probeOf(rxAll.in());
    RtcTest::Probe_var newProbe = rtctest::probeOf(rxNew.in());
    RtcTest::Probe_var pullProbe = rtctest::probeOf(rxPull.in());
    ASSERT_TRUE(rtctest::waitFor([&] { return txProbe->cycles() > 300; }, 20s));
    RTC::ExecutionContextService_var txEc = rtctest::ownedContext(tx.in());
    ASSERT_EQ(txEc->deactivate_component(tx.in()), RTC::RTC_OK);
    CORBA::Long cycles = txProbe->cycles();

    // "all": every sample arrives, in batches at the push rate.
    EXPECT_TRUE(rtctest::waitFor([&] { return allProbe->received() == cycles; }, 10s))
        << allProbe->received() << " of " << cycles;
    EXPECT_EQ(allProbe->lastLong().data, cycles);
    // "new": about ten a second, each the newest at its time; the last one arrives too.
    EXPECT_TRUE(rtctest::waitFor([&] { return newProbe->lastLong().data == cycles; }, 10s));
    EXPECT_LT(newProbe->received(), cycles / 4);
    EXPECT_GT(newProbe->received(), 2);
    // Pull: the reader sees fresh values at its own pace and, at the end, the last one.
    EXPECT_TRUE(rtctest::waitFor([&] { return pullProbe->lastLong().data == cycles; }, 10s));
    EXPECT_GT(pullProbe->received(), 10);
    EXPECT_LT(pullProbe->received(), cycles);
}

// ---- naming ----

class NamingKeepAlive : public Delivery {
  protected:
    // The object that name resolves to, or nil.
    CORBA::Object_ptr resolved(const std::string& instance) {
        CosNaming::NamingContext_var root = ns().root();
        try {
            return root->resolve(
                rtc::toCosName(rtctest::hostName() + ".host_cxt/" + instance + ".rtc"));
        } catch (const CosNaming::NamingContext::NotFound&) {
            return CORBA::Object::_nil();
        }
    }
    rtctest::Process& startTwin(const std::string& iorName) {
        peers_.push_back(rtctest::startPeer(&ns(), "Twin0",
                                            {"-o", "naming.update.interval:0.2", "-o",
                                             "naming.ior_file:" + logDir_ + "/" + iorName},
                                            logDir_ + "/" + iorName + ".d"));
        return peers_.back();
    }
    CORBA::Object_ptr fromIorFile(const std::string& iorName) {
        std::string path = logDir_ + "/" + iorName;
        EXPECT_TRUE(rtctest::waitFor([&] { return std::filesystem::exists(path); }, 10s));
        std::ifstream in(path);
        std::string ior;
        in >> ior;
        CORBA::ORB_var orb = rtctest::orb();
        return orb->string_to_object(ior.c_str());
    }
    bool namesOf(const std::string& iorName) {
        CORBA::Object_var current = resolved("Twin0");
        CORBA::Object_var mine = fromIorFile(iorName);
        return !CORBA::is_nil(current.in()) && current->_is_equivalent(mine.in());
    }
};

TEST_F(NamingKeepAlive, ANameIsBoundAgainAfterTheNamingServiceRestartsOnAFreshStore) {
    RTC::RTObject_var comp = start("Keep0", "idle", {"-o", "naming.update.interval:0.2"});
    int port = ns().port();
    ns_.reset();  // stops omniNames and removes its store
    ns_ = std::make_unique<rtctest::NameServer>(port);
    RTC::RTObject_var again = rtctest::resolveComponent(*ns_, "Keep0", 15s);
    ASSERT_FALSE(CORBA::is_nil(again.in()));
    EXPECT_TRUE(again->_is_equivalent(comp.in()));
    // Said once, either way the keep-alive found out.
    std::string text = log("Keep0");
    EXPECT_TRUE(text.find("had lost") != std::string::npos ||
                text.find("is reachable; names bound") != std::string::npos)
        << text;
}

TEST_F(NamingKeepAlive, ASecondInstanceWarnsAndNeitherRemovesTheOthersName) {
    for (const char* d : {"/a.ior.d", "/b.ior.d", "/c.ior.d"}) {
        std::filesystem::create_directories(logDir_ + d);
    }
    startTwin("a.ior");
    ASSERT_TRUE(rtctest::waitFor([&] { return namesOf("a.ior"); }, 10s));
    rtctest::Process& b = startTwin("b.ior");
    ASSERT_TRUE(rtctest::waitFor([&] { return namesOf("b.ior"); }, 10s));
    std::ifstream blog(logDir_ + "/b.ior.d/Twin0.log");
    std::stringstream text;
    text << blog.rdbuf();
    EXPECT_NE(text.str().find("named another running object"), std::string::npos) << text.str();
    // The second one leaves: its own entry goes, and the first one, still running, binds
    // its name again.
    EXPECT_EQ(b.stop(), 0);
    EXPECT_TRUE(rtctest::waitFor([&] { return namesOf("a.ior"); }, 10s));
    // A third takes the name; the first one leaving does not remove it.
    startTwin("c.ior");
    ASSERT_TRUE(rtctest::waitFor([&] { return namesOf("c.ior"); }, 10s));
    EXPECT_EQ(peers_.front().stop(), 0);
    std::this_thread::sleep_for(1s);
    EXPECT_TRUE(namesOf("c.ior"));
}

}  // namespace
