// A component built on the runtime for the integration tests and the benchmark. Its mode
// parameter makes it a sender ("send": a counter on out/seqout every cycle; "fixed": the
// reference samples), a receiver ("recv"; "pull": reads in once a cycle) or idle; a probe service
// reports what happened.

#include "rtc/rtc.hpp"
#include "tests/rtc/idl/RtcTest.hh"

#include <chrono>
#include <cstring>
#include <iostream>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace {

class Peer;

class ProbeImpl : public virtual POA_RtcTest::Probe {
  public:
    explicit ProbeImpl(Peer& peer) : peer_(peer) {}
    RtcTest::Strings* events() override;
    void clearEvents() override;
    CORBA::Long cycles() override;
    CORBA::Long received() override;
    CORBA::Long writeFailures() override;
    RTC::TimedLong lastLong() override;
    RTC::TimedDoubleSeq* lastSeq() override;
    CORBA::Double gain() override;
    CORBA::Long gainChangedInsideCycle() override;
    CORBA::Long add(CORBA::Long a, CORBA::Long b) override { return a + b; }
    RtcTest::Octets* map(CORBA::Long cells) override {
        auto* out = new RtcTest::Octets();
        out->length(static_cast<CORBA::ULong>(cells));
        std::memset(out->get_buffer(), 100, static_cast<std::size_t>(cells));
        return out;
    }

  private:
    Peer& peer_;
};

class Peer : public RTC::DataFlowComponentBase {
  public:
    explicit Peer(RTC::Manager* manager)
        : RTC::DataFlowComponentBase(manager),
          out_("out", outValue_),
          seqOut_("seqout", seqOutValue_),
          in_("in", inValue_),
          seqIn_("seqin", seqInValue_),
          service_("service"),
          probe_(*this) {}

    RTC::ReturnCode_t onInitialize() override {
        record("onInitialize");
        addOutPort("out", out_);
        addOutPort("seqout", seqOut_);
        addInPort("in", in_);
        addInPort("seqin", seqIn_);
        service_.registerProvider("probe", "RtcTest::Probe", probe_);
        addPort(service_);
        bindParameter("mode", mode_, "idle");
        bindParameter("fail", fail_, "0");
        bindParameter("gain", gain_, "1.5");
        bindParameter("hold_ms", holdMs_, "0");
        bindParameter("seq_len", seqLen_, "3");
        return RTC::RTC_OK;
    }
    RTC::ReturnCode_t onActivated(RTC::UniqueId) override { return record("onActivated"); }
    RTC::ReturnCode_t onDeactivated(RTC::UniqueId) override { return record("onDeactivated"); }
    RTC::ReturnCode_t onAborting(RTC::UniqueId) override { return record("onAborting"); }
    RTC::ReturnCode_t onError(RTC::UniqueId) override { return record("onError"); }
    RTC::ReturnCode_t onReset(RTC::UniqueId) override { return record("onReset"); }
    RTC::ReturnCode_t onFinalize() override { return record("onFinalize"); }

    RTC::ReturnCode_t onExecute(RTC::UniqueId) override {
        double gainAtStart = gain_;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (events_.empty() || events_.back().rfind("onExecute", 0) != 0) {
                events_.push_back(tagged("onExecute"));
            }
            ++cycles_;
        }
        if (fail_ == 1) {
            return RTC::RTC_ERROR;
        }
        if (fail_ == 2) {
            throw std::runtime_error("onExecute failed");
        }
        if (mode_ == "send" || mode_ == "fixed") {
            send();
        } else if (mode_ == "recv") {
            receive();
        } else if (mode_ == "pull") {
            pull();
        }
        if (holdMs_ > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(holdMs_));
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (gain_ != gainAtStart) {
            ++gainChangedInside_;
        }
        gainSeen_ = gain_;
        return RTC::RTC_OK;
    }

    RtcTest::Strings events() {
        std::lock_guard<std::mutex> lock(mutex_);
        RtcTest::Strings out;
        out.length(static_cast<CORBA::ULong>(events_.size()));
        for (std::size_t i = 0; i < events_.size(); ++i) {
            out[static_cast<CORBA::ULong>(i)] = events_[i].c_str();
        }
        return out;
    }
    void clearEvents() {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.clear();
    }

    std::mutex mutex_;  // guards everything the probe reads
    long cycles_ = 0;
    long received_ = 0;
    long writeFailures_ = 0;
    long gainChangedInside_ = 0;
    double gainSeen_ = 0;
    RTC::TimedLong lastLong_{};
    RTC::TimedDoubleSeq lastSeq_{};

  private:
    std::string tagged(const char* name) {
        RTC::OwnedContext* ec = ownedContext();
        bool onEc = ec != nullptr && ec->threadId() == std::this_thread::get_id();
        return std::string(name) + (onEc ? "@ec" : "@other");
    }
    RTC::ReturnCode_t record(const char* name) {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(tagged(name));
        return RTC::RTC_OK;
    }

    void send() {
        ++counter_;
        if (mode_ == "fixed") {
            outValue_.tm.sec = 1;
            outValue_.tm.nsec = 2;
            outValue_.data = 3;
            seqOutValue_.tm.sec = 1;
            seqOutValue_.tm.nsec = 2;
            seqOutValue_.data.length(1);
            seqOutValue_.data[0] = 1.0;
        } else {
            outValue_.tm.sec = static_cast<CORBA::ULong>(counter_);
            outValue_.tm.nsec = 0;
            outValue_.data = static_cast<CORBA::Long>(counter_);
            seqOutValue_.tm.sec = static_cast<CORBA::ULong>(counter_);
            seqOutValue_.data.length(static_cast<CORBA::ULong>(seqLen_));
            for (int i = 0; i < seqLen_; ++i) {
                seqOutValue_.data[static_cast<CORBA::ULong>(i)] = counter_ + 0.5 * i;
            }
        }
        bool ok = out_.write();
        ok = seqOut_.write() && ok;
        if (!ok) {
            std::lock_guard<std::mutex> lock(mutex_);
            ++writeFailures_;
        }
    }

    void receive() {
        while (in_.isNew()) {
            if (in_.read()) {
                std::lock_guard<std::mutex> lock(mutex_);
                ++received_;
                lastLong_ = inValue_;
            }
        }
        while (seqIn_.isNew()) {
            if (seqIn_.read()) {
                std::lock_guard<std::mutex> lock(mutex_);
                lastSeq_ = seqInValue_;
            }
        }
    }

    // A pull connection is read once a cycle; a value seen before is not counted again.
    void pull() {
        RTC::TimedLong value{};
        if (in_.read(value)) {
            std::lock_guard<std::mutex> lock(mutex_);
            if (received_ == 0 || value.data != lastLong_.data) {
                ++received_;
                lastLong_ = value;
            }
        }
    }

    RTC::TimedLong outValue_{};
    RTC::TimedDoubleSeq seqOutValue_{};
    RTC::TimedLong inValue_{};
    RTC::TimedDoubleSeq seqInValue_{};
    RTC::OutPort<RTC::TimedLong> out_;
    RTC::OutPort<RTC::TimedDoubleSeq> seqOut_;
    RTC::InPort<RTC::TimedLong> in_;
    RTC::InPort<RTC::TimedDoubleSeq> seqIn_;
    RTC::CorbaPort service_;
    ProbeImpl probe_;
    std::vector<std::string> events_;
    std::string mode_;
    int fail_ = 0;
    double gain_ = 0;
    int holdMs_ = 0;
    int seqLen_ = 3;
    long counter_ = 0;
};

RtcTest::Strings* ProbeImpl::events() {
    return new RtcTest::Strings(peer_.events());
}
void ProbeImpl::clearEvents() {
    peer_.clearEvents();
}
CORBA::Long ProbeImpl::cycles() {
    std::lock_guard<std::mutex> lock(peer_.mutex_);
    return static_cast<CORBA::Long>(peer_.cycles_);
}
CORBA::Long ProbeImpl::received() {
    std::lock_guard<std::mutex> lock(peer_.mutex_);
    return static_cast<CORBA::Long>(peer_.received_);
}
CORBA::Long ProbeImpl::writeFailures() {
    std::lock_guard<std::mutex> lock(peer_.mutex_);
    return static_cast<CORBA::Long>(peer_.writeFailures_);
}
RTC::TimedLong ProbeImpl::lastLong() {
    std::lock_guard<std::mutex> lock(peer_.mutex_);
    return peer_.lastLong_;
}
RTC::TimedDoubleSeq* ProbeImpl::lastSeq() {
    std::lock_guard<std::mutex> lock(peer_.mutex_);
    return new RTC::TimedDoubleSeq(peer_.lastSeq_);
}
CORBA::Double ProbeImpl::gain() {
    std::lock_guard<std::mutex> lock(peer_.mutex_);
    return peer_.gainSeen_;
}
CORBA::Long ProbeImpl::gainChangedInsideCycle() {
    std::lock_guard<std::mutex> lock(peer_.mutex_);
    return static_cast<CORBA::Long>(peer_.gainChangedInside_);
}

const char* const kProfile[] = {
    "implementation_id",
    "RtcTestPeer",
    "type_name",
    "RtcTestPeer",
    "description",
    "Runtime test peer",
    "version",
    "1.0",
    "vendor",
    "vostrel.test",
    "category",
    "test",
    "activity_type",
    "PERIODIC",
    "kind",
    "DataFlowComponent",
    "max_instance",
    "1",
    "language",
    "C++",
    "lang_type",
    "compile",
    "conf.default.mode",
    "idle",
    "conf.default.gain",
    "1.5",
    "conf.__widget__.mode",
    "text",
    "conf.__widget__.gain",
    "text",
    "conf.__constraints__.gain",
    "0<=x<=10",
    "",
};

std::string g_instanceArgs = "RtcTestPeer";

void moduleInit(RTC::Manager* manager) {
    coil::Properties profile(kProfile);
    manager->registerFactory(profile, RTC::Create<Peer>, RTC::Delete<Peer>);
    if (manager->createComponent(g_instanceArgs.c_str()) == nullptr) {
        std::cerr << "Component create failed." << std::endl;
        std::abort();
    }
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--instance") == 0) {
            g_instanceArgs = std::string("RtcTestPeer?instance_name=") + argv[i + 1];
        }
    }
    RTC::Manager* manager = RTC::Manager::init(argc, argv);
    manager->setModuleInitProc(moduleInit);
    manager->activateManager();
    manager->runManager(false);
    return 0;
}
